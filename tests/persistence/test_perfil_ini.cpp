#include "persistence/perfil_ini.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include "pasta_temporaria.h"

namespace tvx {
namespace {

class PerfilIni : public teste::PastaTemporaria {
  protected:
    void SetUp() override {
        PastaTemporaria::SetUp();
        ini = Caminho("a.ini");
    }
    std::string ini;
};

TEST_F(PerfilIni, LeituraComoOWindowsLe) {
    Escrever(ini,
             "solta=antes de secao\r\n[Config]\r\n  IP  =  10.0.0.1  \r\nlinha sem igual\r\n"
             "[quebrada\r\ndesconhecida = \"com aspas\" \r\ndupla=1\r\ndupla=2\r\n"
             "[ meio ]\r\nTipo=2\r\n[CONFIG]\r\nip=9.9.9.9\r\n[Se\xC7\xC3O]\r\nk=1\r\n"
             "[N]\r\na=12abc\r\nb=abc\r\nc=-5\r\nd=+3\r\ne=\r\nf=\" 42\"\r\ng=4294967297\r\n"
             "h=0x10\r\ni= 70000 \r\nj=-\r\n");
    const std::tuple<const char*, const char*, const char*> textos[] = {
        {"config", "ip", "10.0.0.1"},  // the first section and the first key of a name win
        {"CONFIG", "dupla", "1"},
        {"CONFIG", "desconhecida", "com aspas"},  // "[quebrada" is no section
        {"CONFIG", "linha sem igual", "-"},
        {"OUTRA", "ip", "-"},
        {"SeÇÃO", "k", "1"},
        {"seçãO", "k", "-"},  // only ASCII letters fold
    };
    for (const auto& [secao, chave, valor] : textos) {
        EXPECT_EQ(LerTextoPerfil(ini, secao, chave, "-"), valor) << secao << " " << chave;
    }
    EXPECT_EQ(LerInteiroPerfil(ini, "MEIO", "tipo", 7), 2);
    const std::pair<const char*, int> inteiros[] = {
        {"a", 12}, {"b", 0},     {"c", -5}, {"d", 3},    {"e", 9},  // empty counts as missing
        {"f", 42}, {"g", 1},  // wraps like the Windows conversion
        {"h", 0},  {"i", 70000}, {"j", 0},  {"falta", 9}};
    for (const auto& [chave, valor] : inteiros) {
        EXPECT_EQ(LerInteiroPerfil(ini, "N", chave, 9), valor) << chave;
    }
    EXPECT_EQ(LerInteiroPerfil(Caminho("nao_existe.ini"), "N", "a", -1), -1);
}

TEST_F(PerfilIni, GravacaoNoLugarComTudoOMaisByteAByte) {
    const std::string antes =
        "; cabeçalho do técnico\r\n# outro estilo \xE9\r\n[Config]\r\n; comentário\r\n"
        "  IP = 1.1.1.1\r\nlinha sem igual\r\n[quebrada\r\ndupla=1\r\ndupla=2\r\n\r\n  \r\n"
        "cr solto\rno meio\r\n[MEIO]\r\ntipo=0\r\n";
    Escrever(ini, antes);
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "ip", "10.0.0.9"));  // the original spelling
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "dupla", "3"));
    ASSERT_TRUE(GravarTextoPerfil(ini, "config", "gateway", "3"));  // after the section's last line
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "a\r\n[CONFIG]\r\nmodelo=99\nb"));
    ASSERT_TRUE(GravarTextoPerfil(ini, "MEIO", "rtu", "1"));
    EXPECT_EQ(Ler(ini),
              "; cabeçalho do técnico\r\n# outro estilo \xE9\r\n[Config]\r\n; comentário\r\n"
              "IP=10.0.0.9\r\nlinha sem igual\r\n[quebrada\r\ndupla=3\r\ndupla=2\r\n\r\n  \r\n"
              "cr solto\rno meio\r\ngateway=3\r\n[MEIO]\r\ntipo=0\r\nrtu=1\r\n"
              "[ESPECIAL]\r\nurl=a  [CONFIG]  modelo=99 b\r\n");
    EXPECT_EQ(LerInteiroPerfil(ini, "CONFIG", "modelo", 1), 1);

    // LF ends and no end on the last line; the first write creates the file.
    Escrever(ini, "[CONFIG]\nip=1.1.1.1\nmodelo=19");
    EXPECT_EQ(LerInteiroPerfil(ini, "CONFIG", "modelo", 0), 19);
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "mask", "255.255.255.0"));
    EXPECT_EQ(Ler(ini), "[CONFIG]\r\nip=1.1.1.1\r\nmodelo=19\r\nmask=255.255.255.0\r\n");
    ASSERT_TRUE(GravarTextoPerfil(Caminho("novo.ini"), "CONFIG", "ip", "192.168.0.10"));
    EXPECT_EQ(Ler(Caminho("novo.ini")), "[CONFIG]\r\nip=192.168.0.10\r\n");
    EXPECT_EQ(Nomes(pasta_), (std::set<std::string>{"a.ini", "novo.ini"}));
}

TEST_F(PerfilIni, PaginasDeCodigoAspasECorte) {
    // A UTF-8 file with its mark is read as UTF-8 and written back in Windows-1252.
    Escrever(ini, "\xEF\xBB\xBF[ESPECIAL]\nid=Medição \u20AC\n");
    EXPECT_EQ(LerTextoPerfil(ini, "ESPECIAL", "id", ""), "Medição \u20AC");
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "Programação \u4E2D"));
    EXPECT_EQ(Ler(ini), "[ESPECIAL]\r\nid=Medi\xE7\xE3o \x80\r\nurl=Programa\xE7\xE3o ?\r\n");
    EXPECT_EQ(LerTextoPerfil(ini, "ESPECIAL", "url", ""), "Programação ?");

    cPerfilIni p;
    const std::pair<const char*, const char*> aspas[] = {{"\"  com espaços \"", "  com espaços "},
                                                         {"\"só uma", "\"só uma"},
                                                         {"\"", "\""},
                                                         {"'simples'", "'simples'"},
                                                         {"\"\"", ""}};
    for (const auto& [gravado, lido] : aspas) {
        p.GravarTexto("S", "k", gravado);
        EXPECT_EQ(p.LerTexto("S", "k", "padrão"), lido) << gravado;
    }
    p.GravarTexto("S", "k", "abcdef");
    p.GravarTexto("S", "acentos", "ááá");
    const std::tuple<const char*, const char*, size_t, const char*> cortes[] = {
        {"k", "", 4, "abc"},
        {"k", "", 7, "abcdef"},
        {"k", "", 1, ""},
        {"k", "", 0, ""},
        {"acentos", "", 3, "áá"},     // Windows-1252 bytes, one per character here
        {"falta", "38400", 3, "38"},  // the default is cut the same way, after its blanks went
        {"falta", "ab  \t", 260, "ab"},
        {"falta", "çãé", 3, "çã"}};
    for (const auto& [chave, padrao, tamanho, lido] : cortes) {
        EXPECT_EQ(p.LerTexto("S", chave, padrao, tamanho), lido) << chave << " " << tamanho;
    }
    Escrever(ini, "[A]\r\nk=\xE9\r\n\r\n");
    ASSERT_TRUE(p.Carregar(ini));
    EXPECT_EQ(p.Linhas(), (std::vector<std::string>{"[A]", "k=\xE9", ""}));
    EXPECT_TRUE(p.Carregar(Caminho("falta.ini")));  // a missing file is an empty profile
    EXPECT_TRUE(p.Linhas().empty());
}

TEST_F(PerfilIni, SalvarQueFalhaDeixaOArquivoAntigoInteiro) {
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
    const bool salvo = p.Salvar(ini);
    ::setrlimit(RLIMIT_FSIZE, &antigo);
    ::sigaction(SIGXFSZ, &anterior, nullptr);
    EXPECT_FALSE(salvo);
    EXPECT_EQ(Ler(ini), antes);

    EXPECT_FALSE(p.Salvar(Caminho("nao_existe/a.ini")));
    Escrever(Caminho("arquivo"), "x");  // a file where the folder should be
    EXPECT_FALSE(p.Salvar(Caminho("arquivo/a.ini")));
    EXPECT_FALSE(GravarTextoPerfil(Caminho("arquivo/a.ini"), "CONFIG", "ip", "1"));
    // A folder by the profile's name cannot be read: no write replaces it.
    std::filesystem::create_directory(Caminho("pasta.ini"));
    EXPECT_FALSE(p.Carregar(Caminho("pasta.ini")));
    EXPECT_FALSE(GravarTextoPerfil(Caminho("pasta.ini"), "CONFIG", "ip", "1"));
    EXPECT_EQ(LerTextoPerfil(Caminho("pasta.ini"), "CONFIG", "ip", "p"), "p");
    EXPECT_EQ(Nomes(pasta_), (std::set<std::string>{"a.ini", "arquivo", "pasta.ini"}));
    EXPECT_EQ(Ler(Caminho("arquivo")), "x");

    // Saving through a link keeps the link and the target's permissions.
    ::chmod(ini.c_str(), 0640);
    std::filesystem::create_symlink(ini, Caminho("link.ini"));
    ASSERT_TRUE(GravarTextoPerfil(Caminho("link.ini"), "CONFIG", "ip", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(Caminho("link.ini")));
    EXPECT_EQ(Ler(ini), "[CONFIG]\r\nip=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace tvx
