#include "persistence/perfil_ini.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "pasta_temporaria.h"

namespace tvx {
namespace {

class PerfilIni : public teste::PastaTemporaria {};

TEST_F(PerfilIni, SecoesEChavesSemDiferencaDeMaiusculas) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini, "[Config]\r\n  IP  =  10.0.0.1  \r\nMask=255.0.0.0\r\n[ meio ]\r\nTipo=2\r\n");
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "ip", "x"), "10.0.0.1");
    EXPECT_EQ(LerTextoPerfil(ini, "config", "MASK", "x"), "255.0.0.0");
    EXPECT_EQ(LerInteiroPerfil(ini, "MEIO", "tipo", 7), 2);
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "gateway", "nada"), "nada");
    EXPECT_EQ(LerTextoPerfil(ini, "OUTRA", "ip", "nada"), "nada");
    // Only ASCII letters fold: an accented name matches itself only.
    Escrever(ini, "[Se\xC7\xC3O]\r\nk=1\r\n");
    EXPECT_EQ(LerTextoPerfil(ini, "SeÇÃO", "k", "-"), "1");
    EXPECT_EQ(LerTextoPerfil(ini, "seçãO", "k", "-"), "-");
}

TEST_F(PerfilIni, ChaveExistenteTrocadaNoLugarComAGrafiaOriginal) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini,
             "; cabeçalho do técnico\r\n[Config]\r\n; comentário\r\n  IP = 1.1.1.1\r\nmask=2\r\n"
             "\r\n[Outra]\r\nx=1\r\n");
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "ip", "10.0.0.9"));
    EXPECT_EQ(Ler(ini),
              "; cabeçalho do técnico\r\n[Config]\r\n; comentário\r\nIP=10.0.0.9\r\nmask=2\r\n"
              "\r\n[Outra]\r\nx=1\r\n");
}

TEST_F(PerfilIni, ChaveNovaAposAUltimaLinhaDaSecaoESecaoNovaNoFim) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini, "[CONFIG]\r\nip=1\r\nmask=2\r\n\r\n\r\n[MEIO]\r\ntipo=0\r\n");
    ASSERT_TRUE(GravarTextoPerfil(ini, "config", "gateway", "3"));
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "id", "abc"));
    ASSERT_TRUE(GravarTextoPerfil(ini, "MEIO", "rtu", "1"));
    EXPECT_EQ(Ler(ini),
              "[CONFIG]\r\nip=1\r\nmask=2\r\ngateway=3\r\n\r\n\r\n[MEIO]\r\ntipo=0\r\nrtu=1\r\n"
              "[ESPECIAL]\r\nid=abc\r\n");
}

TEST_F(PerfilIni, PrimeiraEscritaCriaOArquivo) {
    const std::string ini = Caminho("novo.ini");
    ASSERT_FALSE(std::filesystem::exists(ini));
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "ip", "192.168.0.10"));
    EXPECT_EQ(Ler(ini), "[CONFIG]\r\nip=192.168.0.10\r\n");
    EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"novo.ini"});
}

TEST_F(PerfilIni, ConteudoAlheioGuardadoByteAByte) {
    const std::string ini = Caminho("a.ini");
    const std::string antes =
        "solta=antes de secao\r\n"
        "# outro estilo de comentário \xE9\r\n"
        "[CONFIG]\r\n"
        "\tip\t=\t1.2.3.4\t\r\n"
        "linha sem igual\r\n"
        "[quebrada\r\n"
        "desconhecida = \"com aspas\" \r\n"
        "dupla=1\r\n"
        "dupla=2\r\n"
        "\r\n"
        "  \r\n"
        "[CONFIG]\r\n"
        "ip=9.9.9.9\r\n"
        "cr solto\rno meio\r\n";
    Escrever(ini, antes);
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "dupla", "3"));
    std::string esperado = antes;
    esperado.replace(esperado.find("dupla=1"), 7, "dupla=3");
    EXPECT_EQ(Ler(ini), esperado);
    // The first section and the first key of a name win.
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "ip", ""), "1.2.3.4");
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "dupla", ""), "3");
    // "[quebrada" is no section: the keys after it are still in CONFIG.
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "desconhecida", ""), "com aspas");
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "linha sem igual", "-"), "-");
}

TEST_F(PerfilIni, ArquivoComFinsLfESemFimNaUltimaLinha) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini, "[CONFIG]\nip=1.1.1.1\nmodelo=19");
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "ip", ""), "1.1.1.1");
    EXPECT_EQ(LerInteiroPerfil(ini, "CONFIG", "modelo", 0), 19);
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "mask", "255.255.255.0"));
    EXPECT_EQ(Ler(ini), "[CONFIG]\r\nip=1.1.1.1\r\nmodelo=19\r\nmask=255.255.255.0\r\n");
}

TEST_F(PerfilIni, ArquivoUtf8ComBomLidoComoUtf8) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini, "\xEF\xBB\xBF[ESPECIAL]\nid=Medição \u20AC\n");
    EXPECT_EQ(LerTextoPerfil(ini, "ESPECIAL", "id", ""), "Medição \u20AC");
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "x"));
    EXPECT_EQ(Ler(ini), "[ESPECIAL]\r\nid=Medi\xE7\xE3o \x80\r\nurl=x\r\n");
}

TEST_F(PerfilIni, TextoUtf8NaClasseWindows1252NoArquivo) {
    const std::string ini = Caminho("a.ini");
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "id", "Programação \u4E2D"));
    EXPECT_EQ(Ler(ini), "[ESPECIAL]\r\nid=Programa\xE7\xE3o ?\r\n");
    EXPECT_EQ(LerTextoPerfil(ini, "ESPECIAL", "id", ""), "Programação ?");
}

TEST_F(PerfilIni, AspasDuplasQueCasamSaemNaLeitura) {
    cPerfilIni p;
    p.GravarTexto("S", "a", "\"  com espaços \"");
    p.GravarTexto("S", "b", "\"só uma");
    p.GravarTexto("S", "c", "\"");
    p.GravarTexto("S", "d", "'simples'");
    p.GravarTexto("S", "e", "\"\"");
    EXPECT_EQ(p.LerTexto("S", "a", ""), "  com espaços ");
    EXPECT_EQ(p.LerTexto("S", "b", ""), "\"só uma");
    EXPECT_EQ(p.LerTexto("S", "c", ""), "\"");
    EXPECT_EQ(p.LerTexto("S", "d", ""), "'simples'");
    EXPECT_EQ(p.LerTexto("S", "e", "padrão"), "");
}

TEST_F(PerfilIni, CorteNoTamanhoDoBuffer) {
    cPerfilIni p;
    p.GravarTexto("S", "k", "abcdef");
    p.GravarTexto("S", "acentos", "ááá");
    EXPECT_EQ(p.LerTexto("S", "k", "", 4), "abc");
    EXPECT_EQ(p.LerTexto("S", "k", "", 7), "abcdef");
    EXPECT_EQ(p.LerTexto("S", "k", "", 1), "");
    EXPECT_EQ(p.LerTexto("S", "k", "", 0), "");
    // The cut counts Windows-1252 bytes, one per character here.
    EXPECT_EQ(p.LerTexto("S", "acentos", "", 3), "áá");
    // The default is cut the same way, after its trailing blanks went.
    EXPECT_EQ(p.LerTexto("S", "falta", "38400", 3), "38");
    EXPECT_EQ(p.LerTexto("S", "falta", "ab  \t", 260), "ab");
    EXPECT_EQ(p.LerTexto("S", "falta", "çãé", 3), "çã");
}

TEST_F(PerfilIni, InteirosComoOWindowsLe) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini,
             "[N]\r\na=12abc\r\nb=abc\r\nc=-5\r\nd=+3\r\ne=\r\nf=\" 42\"\r\ng=4294967297\r\n"
             "h=0x10\r\ni= 70000 \r\nj=-\r\n");
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "a", 9), 12);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "b", 9), 0);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "c", 9), -5);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "d", 9), 3);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "e", 9), 9);  // empty counts as missing
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "f", 9), 42);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "g", 9), 1);  // wraps like the Windows conversion
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "h", 9), 0);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "i", 9), 70000);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "j", 9), 0);
    EXPECT_EQ(LerInteiroPerfil(ini, "N", "falta", 9), 9);
    EXPECT_EQ(LerInteiroPerfil(Caminho("nao_existe.ini"), "N", "a", -1), -1);
}

TEST_F(PerfilIni, QuebraDeLinhaNoValorNaoCriaLinhasNovas) {
    const std::string ini = Caminho("a.ini");
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "a\r\n[CONFIG]\r\nmodelo=99\nb"));
    EXPECT_EQ(Ler(ini), "[ESPECIAL]\r\nurl=a  [CONFIG]  modelo=99 b\r\n");
    EXPECT_EQ(LerInteiroPerfil(ini, "CONFIG", "modelo", 1), 1);
}

TEST_F(PerfilIni, SalvarFalhoDeixaOArquivoAntigoInteiroESemTemporario) {
    const std::string ini = Caminho("a.ini");
    const std::string antes = "[CONFIG]\r\nip=1.1.1.1\r\n";
    Escrever(ini, antes);

    cPerfilIni p;
    ASSERT_TRUE(p.Carregar(ini));
    p.GravarTexto("CONFIG", "url", std::string(4096, 'x'));

    // A limit on file size makes the write fail half-way even for root.
    struct rlimit antigo {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &antigo), 0);
    struct sigaction ignorar {
    }, anterior{};
    ignorar.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignorar, &anterior), 0);
    struct rlimit pequeno = antigo;
    pequeno.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &pequeno), 0);
    const bool salvo = p.Salvar(ini).Ok();
    ::setrlimit(RLIMIT_FSIZE, &antigo);
    ::sigaction(SIGXFSZ, &anterior, nullptr);

    EXPECT_FALSE(salvo);
    EXPECT_EQ(Ler(ini), antes);
    EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"a.ini"});
}

TEST_F(PerfilIni, SalvarOndeNaoHaPastaFalha) {
    cPerfilIni p;
    p.GravarTexto("CONFIG", "ip", "1");
    EXPECT_FALSE(p.Salvar(Caminho("nao_existe/a.ini")));
    // A file where the folder should be.
    Escrever(Caminho("arquivo"), "x");
    EXPECT_FALSE(p.Salvar(Caminho("arquivo/a.ini")));
    EXPECT_FALSE(GravarTextoPerfil(Caminho("arquivo/a.ini"), "CONFIG", "ip", "1"));
    EXPECT_EQ(Ler(Caminho("arquivo")), "x");
    EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"arquivo"});
}

TEST_F(PerfilIni, ArquivoIlegivelNaoESubstituido) {
    // A folder by the profile's name cannot be read: no write replaces it.
    const std::string ini = Caminho("a.ini");
    std::filesystem::create_directory(ini);
    cPerfilIni p;
    EXPECT_FALSE(p.Carregar(ini));
    EXPECT_TRUE(p.Linhas().empty());
    EXPECT_FALSE(GravarTextoPerfil(ini, "CONFIG", "ip", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    EXPECT_EQ(LerTextoPerfil(ini, "CONFIG", "ip", "p"), "p");
}

TEST_F(PerfilIni, SalvarMantemPermissoes) {
    const std::string real = Caminho("real.ini");
    Escrever(real, "[A]\r\nk=1\r\n");
    ::chmod(real.c_str(), 0640);
    ASSERT_TRUE(GravarTextoPerfil(real, "A", "k", "2"));
    EXPECT_EQ(Ler(real), "[A]\r\nk=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Nomes(pasta_), (std::set<std::string>{"real.ini"}));
}

TEST_F(PerfilIni, LinhasSaoAsDoArquivoSemOsFins) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini, "[A]\r\nk=\xE9\r\n\r\n");
    cPerfilIni p;
    ASSERT_TRUE(p.Carregar(ini));
    EXPECT_EQ(p.Linhas(), (std::vector<std::string>{"[A]", "k=\xE9", ""}));
    // A missing file is an empty profile, not a failure.
    EXPECT_TRUE(p.Carregar(Caminho("falta.ini")));
    EXPECT_TRUE(p.Linhas().empty());
}

}  // namespace
}  // namespace tvx
