// The INI reader and writer, the configuration file and the progress log
// against real files, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <set>
#include <thread>

#include "core/equipamento.h"
#include "core/registros.h"
#include "persistence/log.h"
#include "persistence/perfil_ini.h"
#include "support/log_lido.h"

namespace tvx {
namespace {

using teste::LerArquivo;

// Each test in a fresh working folder of its own.
class Persistencia : public testing::Test {
  protected:
    void SetUp() override {
        std::string modelo = (std::filesystem::temp_directory_path() / "tvx_persistencia_XXXXXX");
        ASSERT_NE(::mkdtemp(modelo.data()), nullptr);
        pasta_ = modelo;
        anterior_ = std::filesystem::current_path();
        std::filesystem::current_path(pasta_);
    }
    void TearDown() override {
        std::filesystem::current_path(anterior_);
        std::filesystem::remove_all(pasta_);
    }
    std::string Caminho(const std::string& nome) const { return pasta_ + "/" + nome; }
    static void Escrever(const std::string& caminho, const std::string& bytes) {
        std::ofstream(caminho, std::ios::binary | std::ios::trunc) << bytes;
    }
    // Names in the folder, to see that nothing was left behind.
    std::set<std::string> Nomes() const {
        std::set<std::string> nomes;
        for (const auto& e : std::filesystem::directory_iterator(pasta_)) {
            nomes.insert(e.path().filename().string());
        }
        return nomes;
    }

    std::string pasta_;
    std::filesystem::path anterior_;
};

using PerfilIni = Persistencia;

TEST_F(PerfilIni, LeituraComoOWindowsLe) {
    const std::string ini = Caminho("a.ini");
    Escrever(
        ini,
        "solta=antes de secao\r\n[Config]\r\n  IP  =  10.0.0.1  \r\nlinha sem igual\r\n"
        "[quebrada\r\ndesconhecida = \"com aspas\" \r\ndupla=1\r\ndupla=2\r\n"
        "[ meio ]\r\nTipo=2\r\n[CONFIG]\r\nip=9.9.9.9\r\n[Se\xC7\xC3O]\r\nk=1\r\n"
        "[Q]\r\na=\"  com espacos \"\r\nb=\"so uma\r\nc=\"\"\r\n"
        "[N]\r\na=12abc\r\nb=abc\r\nc=-5\r\nd=+3\r\ne=\r\nf=\" 42\"\r\ng=4294967297\r\nh=0x10\r\n");
    const std::tuple<const char*, const char*, const char*> textos[] = {
        {"config", "ip", "10.0.0.1"},  // the first section and the first key of a name win
        {"CONFIG", "dupla", "1"},
        {"CONFIG", "desconhecida", "com aspas"},  // "[quebrada" is no section
        {"CONFIG", "linha sem igual", "-"},
        {"SeÇÃO", "k", "1"},
        {"seçãO", "k", "-"},  // only ASCII letters fold
        {"Q", "a", "  com espacos "},
        {"Q", "b", "\"so uma"},
        {"Q", "c", ""},
    };
    for (const auto& [secao, chave, valor] : textos) {
        EXPECT_EQ(LerTextoPerfil(ini, secao, chave, "-"), valor) << secao << " " << chave;
    }
    EXPECT_EQ(LerInteiroPerfil(ini, "MEIO", "tipo", 7), 2);
    const std::pair<const char*, int> inteiros[] = {
        // clang-format off
        {"a", 12},
        {"b", 0},
        {"c", -5},
        {"d", 3},
        {"e", 9},  // empty counts as missing
        {"f", 42},
        {"g", 1},  // wraps like the Windows conversion
        // clang-format on
    };
    for (const auto& [chave, valor] : inteiros) {
        EXPECT_EQ(LerInteiroPerfil(ini, "N", chave, 9), valor) << chave;
    }
    EXPECT_EQ(LerInteiroPerfil(Caminho("nao_existe.ini"), "N", "a", -1), -1);
    // Values and defaults are cut to the buffer, in Windows-1252 bytes, after
    // the blanks of a default went.
    Escrever(ini, "[S]\r\nk=abcdef\r\nacentos=\xE1\xE1\xE1\r\n");
    const std::tuple<const char*, const char*, size_t, const char*> cortes[] = {
        {"k", "", 4, "abc"},
        {"k", "", 0, ""},
        {"acentos", "", 3, "áá"},
        {"falta", "ab  \t", 260, "ab"},
    };
    for (const auto& [chave, padrao, tamanho, lido] : cortes) {
        EXPECT_EQ(LerTextoPerfil(ini, "S", chave, padrao, tamanho), lido)
            << chave << " " << tamanho;
    }
}

TEST_F(PerfilIni, GravacaoNoLugarComTudoOMaisByteAByte) {
    const std::string ini = Caminho("a.ini");
    Escrever(ini,
             "; cabeçalho do técnico\r\n[Config]\r\n; comentário\r\n  IP = 1.1.1.1\r\n"
             "linha sem igual\r\n[quebrada\r\ndupla=1\r\ndupla=2\r\n\r\n  \r\ncr solto\rno meio\r\n"
             "[MEIO]\r\ntipo=0\r\n");
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "ip", "10.0.0.9"));  // the original spelling
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "dupla", "3"));
    ASSERT_TRUE(GravarTextoPerfil(ini, "config", "gateway", "3"));  // after the section's last line
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "a\r\n[CONFIG]\r\nmodelo=99\nb"));
    EXPECT_EQ(
        LerArquivo(ini),
        "; cabeçalho do técnico\r\n[Config]\r\n; comentário\r\nIP=10.0.0.9\r\n"
        "linha sem igual\r\n[quebrada\r\ndupla=3\r\ndupla=2\r\n\r\n  \r\ncr solto\rno meio\r\n"
        "gateway=3\r\n[MEIO]\r\ntipo=0\r\n[ESPECIAL]\r\nurl=a  [CONFIG]  modelo=99 b\r\n");
    // LF ends and no end on the last line; the first write creates the file.
    Escrever(ini, "[CONFIG]\nip=1.1.1.1\nmodelo=19");
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "mask", "255.255.255.0"));
    EXPECT_EQ(LerArquivo(ini), "[CONFIG]\r\nip=1.1.1.1\r\nmodelo=19\r\nmask=255.255.255.0\r\n");
    ASSERT_TRUE(GravarTextoPerfil(Caminho("novo.ini"), "CONFIG", "ip", "192.168.0.10"));
    EXPECT_EQ(LerArquivo(Caminho("novo.ini")), "[CONFIG]\r\nip=192.168.0.10\r\n");

    // A UTF-8 file with its mark is read as UTF-8 and written back in Windows-1252.
    Escrever(ini, "\xEF\xBB\xBF[ESPECIAL]\nid=Medição \u20AC\n");
    EXPECT_EQ(LerTextoPerfil(ini, "ESPECIAL", "id", ""), "Medição \u20AC");
    ASSERT_TRUE(GravarTextoPerfil(ini, "ESPECIAL", "url", "Programação \u4E2D"));
    EXPECT_EQ(LerArquivo(ini),
              "[ESPECIAL]\r\nid=Medi\xE7\xE3o \x80\r\nurl=Programa\xE7\xE3o ?\r\n");
    EXPECT_EQ(Nomes(), (std::set<std::string>{"a.ini", "novo.ini"}));
}

TEST_F(PerfilIni, SalvarQueFalhaDeixaOArquivoAntigoInteiro) {
    const std::string ini = Caminho("a.ini");
    const std::string antes = "[CONFIG]\r\nip=1.1.1.1\r\n";
    Escrever(ini, antes);
    cPerfilIni p;
    ASSERT_TRUE(p.Carregar(ini));
    p.GravarTexto("CONFIG", "url", std::string(4096, 'x'));
    // A limit on file size makes the write fail half-way even for root.
    struct rlimit antigo {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &antigo), 0);
    struct sigaction ignorar {};
    struct sigaction anterior {};
    ignorar.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignorar, &anterior), 0);
    struct rlimit pequeno = antigo;
    pequeno.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &pequeno), 0);
    const bool salvo = p.Salvar(ini).Ok();
    ::setrlimit(RLIMIT_FSIZE, &antigo);
    ::sigaction(SIGXFSZ, &anterior, nullptr);
    EXPECT_FALSE(salvo);
    EXPECT_EQ(LerArquivo(ini), antes);

    Escrever(Caminho("arquivo"), "x");  // a file where the folder should be
    EXPECT_FALSE(GravarTextoPerfil(Caminho("arquivo/a.ini"), "CONFIG", "ip", "1"));
    // A folder by the profile's name cannot be read: no write replaces it.
    std::filesystem::create_directory(Caminho("pasta.ini"));
    EXPECT_FALSE(p.Carregar(Caminho("pasta.ini")));
    EXPECT_FALSE(GravarTextoPerfil(Caminho("pasta.ini"), "CONFIG", "ip", "1"));
    EXPECT_EQ(Nomes(), (std::set<std::string>{"a.ini", "arquivo", "pasta.ini"}));

    // Saving keeps the file's permissions.
    ::chmod(ini.c_str(), 0640);
    ASSERT_TRUE(GravarTextoPerfil(ini, "CONFIG", "ip", "2"));
    EXPECT_EQ(LerArquivo(ini), "[CONFIG]\r\nip=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

using Configuracao = Persistencia;

const std::string kTresSecoesPadrao =
    "[CONFIG]\r\nip=\r\nmask=\r\ngateway=\r\nmodelo=1\r\n"
    "[MEIO]\r\ntipo=0\r\nip=\r\nporta=\r\nvelocidade=38400\r\nrtu=1\r\n"
    "[ESPECIAL]\r\noperadora=0\r\nid=\r\nurl=\r\n";

TEST_F(Configuracao, PadroesSemArquivoEPrimeiraGravacao) {
    cEquipamento e;
    e.SetVelocidade(2);
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.GetModelo(), 1u);
    EXPECT_EQ(e.GetVelocidade(), kIndiceVelocidade38400);
    EXPECT_TRUE(Nomes().empty());  // a load creates nothing
    ASSERT_TRUE(e.Configuracao(true));
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.ini")), kTresSecoesPadrao);
    // Model 25 is saved with RTU 0 and 38400.
    e.SetModelo(25);
    e.SetRtu(7);
    e.SetVelocidade(4);
    ASSERT_TRUE(e.Configuracao(true));
    EXPECT_NE(LerArquivo(Caminho("tvxnetcfg.ini")).find("velocidade=38400\r\nrtu=0\r\n"),
              std::string::npos);
}

TEST_F(Configuracao, ArquivoDoModelo19ByteAByteEIdaEVolta) {
    cEquipamento a;
    uint8_t* gm = a.registroGatewayModbus.data();
    a.SetModelo(19);
    a.SetIpNovo("10.1.2.3");
    a.SetMascaraNova("255.255.0.0");
    a.SetGatewayNovo("10.1.0.1");
    a.SetMeio(kMeioSerial);
    a.SetIpProgramacao("192.168.0.50");
    a.SetPorta("COM4");
    a.SetVelocidade(3);  // 1200
    a.SetRtu(17);
    a.registroTelemetria[kTelOperadora] = 2;
    GravarTextoNoCampo(&a.registroTelemetria[kTelId], kTamanhoIdTelemetria, "Medição 42", 19);
    GravarTextoNoCampo(&a.registroUrl[kUrlTexto], kTamanhoUrl, "http://tvx.example/a?b=c", 80);
    gm[kGmVelocidade] = 4;
    for (size_t i = 0; i < kQuantidadeMedidores; ++i) {
        EscreverIpRegistro(gm, kGmIpMedidor + 4 * i,
                           TextoParaIp("172.16.0." + std::to_string(10 + i)));
        gm[kGmFuncaoMedidor + i] = static_cast<uint8_t>(3 + i % 2);
        gm[kGmQuantidadeRegistros + i] = static_cast<uint8_t>(20 + i);
        gm[kGmRtuMedidor + i] = static_cast<uint8_t>(1 + i);
        EscreverU16Le(&gm[kGmRegistroInicial + 2 * i], static_cast<uint16_t>(1000 * i + 7));
        EscreverIpRegistro(a.registroGatewayTx.data(), kGtIpGateway + 4 * i,
                           TextoParaIp("10.9.8." + std::to_string(1 + i)));
    }
    a.registroGatewayTx[kGtFaixaRtu] = 3;
    ASSERT_TRUE(a.Configuracao(true));
    std::string esperado =
        "[CONFIG]\r\nip=10.1.2.3\r\nmask=255.255.0.0\r\ngateway=10.1.0.1\r\nmodelo=19\r\n"
        "[MEIO]\r\ntipo=2\r\nip=192.168.0.50\r\nporta=COM4\r\nvelocidade=1200\r\nrtu=17\r\n"
        "[ESPECIAL]\r\noperadora=2\r\nid=Medi\xE7\xE3o 42\r\nurl=http://tvx.example/a?b=c\r\n"
        "[GATEWAY_MODBUS]\r\nvelocidadade=4\r\n"
        "[GATEWAY_MODBUS_1]\r\nip=172.16.0.10\r\nfuncao=3\r\nnumreg=20\r\nrtu=1\r\nendini=7\r\n"
        "[GATEWAY_MODBUS_2]\r\nip=172.16.0.11\r\nfuncao=4\r\nnumreg=21\r\nrtu=2\r\nendini=1007\r\n"
        "[GATEWAY_MODBUS_3]\r\nip=172.16.0.12\r\nfuncao=3\r\nnumreg=22\r\nrtu=3\r\nendini=2007\r\n"
        "[GATEWAY_MODBUS_4]\r\nip=172.16.0.13\r\nfuncao=4\r\nnumreg=23\r\nrtu=4\r\nendini=3007\r\n"
        "[GATEWAY_MODBUS_5]\r\nip=172.16.0.14\r\nfuncao=3\r\nnumreg=24\r\nrtu=5\r\nendini=4007\r\n";
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.ini")), esperado);
    // Model 21 adds its gateway table at the end; the meter sections stay.
    a.SetModelo(21);
    ASSERT_TRUE(a.Configuracao(true));
    esperado.replace(esperado.find("modelo=19"), 9, "modelo=21");
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.ini")),
              esperado +
                  "[LINKORA_940_5]\r\nfaixartu=3\r\nip1=10.9.8.1\r\nip2=10.9.8.2\r\n"
                  "ip3=10.9.8.3\r\nip4=10.9.8.4\r\nip5=10.9.8.5\r\n");
    cEquipamento b;
    ASSERT_TRUE(b.Configuracao(false));
    EXPECT_EQ(b.GetModelo(), 21u);
    EXPECT_EQ(b.GetIpNovo() + " " + b.GetMascaraNova() + " " + b.GetGatewayNovo(),
              "10.1.2.3 255.255.0.0 10.1.0.1");
    EXPECT_EQ(b.GetMeio(), kMeioSerial);
    EXPECT_EQ(b.GetIpProgramacao() + " " + b.GetPorta(), "192.168.0.50 COM4");
    EXPECT_EQ(b.GetVelocidade(), 3);
    EXPECT_EQ(b.GetRtu(), 17);
    EXPECT_EQ(b.registroTelemetria, a.registroTelemetria);
    EXPECT_EQ(b.registroUrl, a.registroUrl);
    EXPECT_EQ(b.registroGatewayModbus, a.registroGatewayModbus);
    EXPECT_EQ(b.registroGatewayTx, a.registroGatewayTx);
    // Model 28 reads the gateway table but does not write it.
    b.SetModelo(28);
    b.registroGatewayTx[kGtFaixaRtu] = 1;
    ASSERT_TRUE(b.Configuracao(true));
    EXPECT_NE(LerArquivo(Caminho("tvxnetcfg.ini")).find("modelo=28"), std::string::npos);
    EXPECT_NE(LerArquivo(Caminho("tvxnetcfg.ini")).find("faixartu=3"), std::string::npos);
}

TEST_F(Configuracao, ValoresEstranhosECortadosNaLargura) {
    Escrever(Caminho("tvxnetcfg.ini"),
             "[CONFIG]\r\nip=" + std::string(300, '1') +
                 "\r\n[MEIO]\r\nvelocidade=12345\r\nrtu=257\r\ntipo=abc\r\n"
                 "[GATEWAY_MODBUS_1]\r\nendini=70000\r\nfuncao=259\r\n"
                 "[GATEWAY_MODBUS_3]\r\nip=10.0.300\r\n[ESPECIAL]\r\noperadora=-1\r\nid=" +
                 std::string(30, 'i') + "\r\nurl=" + std::string(100, 'u') + "\r\n");
    cEquipamento e;
    e.SetVelocidade(5);
    ASSERT_TRUE(e.Configuracao(false));
    EXPECT_EQ(e.GetIpNovo(), std::string(259, '1'));
    EXPECT_EQ(e.GetVelocidade(), 5);  // unknown rate text: unchanged
    EXPECT_EQ(e.GetRtu(), 1);         // 257 in 8 bits
    EXPECT_EQ(e.GetMeio(), 0u);
    EXPECT_EQ(e.registroTelemetria[kTelOperadora], 255);
    EXPECT_EQ(LerU16Le(&e.registroGatewayModbus[kGmRegistroInicial]), 4464);
    EXPECT_EQ(e.registroGatewayModbus[kGmFuncaoMedidor], 3);
    EXPECT_EQ(IpParaTexto(LerIpRegistro(e.registroGatewayModbus.data(), kGmIpMedidor + 8), true),
              "10.0.255.0");
    EXPECT_EQ(TextoDoCampo(&e.registroTelemetria[kTelId], kTamanhoIdTelemetria),
              std::string(19, 'i'));
    EXPECT_EQ(TextoDoCampo(&e.registroUrl[kUrlTexto], kTamanhoUrl), std::string(80, 'u'));
}

constexpr const char* kPrefixo = "05/12/2026\t14:03:09\t";
constexpr const char* kBackup = "05122026-140309_tvxnetcfg.log";

class Log : public Persistencia {
  protected:
    void SetUp() override {
        Persistencia::SetUp();
        log_.relogio = [] { return Relogio{5, 12, 2026, 14, 3, 9}; };
        log_.DefinirArquivo(Caminho("tvxnetcfg.log"));
    }
    // A log of exactly tamanho bytes, made of recognisable lines.
    std::string Encher(long tamanho, char marca, const std::string& nome = "tvxnetcfg.log") {
        std::string bytes(static_cast<size_t>(tamanho), marca);
        for (size_t i = 99; i < bytes.size(); i += 100) {
            bytes[i - 1] = '\r';
            bytes[i] = '\n';
        }
        Escrever(Caminho(nome), bytes);
        return bytes;
    }
    cLog log_;
};

TEST_F(Log, LinhasComDataHoraTabulacoesECrLf) {
    ASSERT_TRUE(log_.Escrever("Programação iniciada..."));
    // A message's later lines start in the text's column: none starts with text.
    ASSERT_TRUE(log_.Escrever("IP: 10.0.0.1\r\nMASK: 255.0.0.0\nGW: 10.0.0.254\r5"));
    log_.relogio = [] { return Relogio{1, 2, 2027, 0, 0, 5}; };
    ASSERT_TRUE(log_.Escrever(""));
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.log")),
              std::string(kPrefixo) + "Programa\xE7\xE3o iniciada...\r\n" + kPrefixo +
                  "IP: 10.0.0.1\r\n\t\tMASK: 255.0.0.0\r\n\t\tGW: "
                  "10.0.0.254\r\n\t\t5\r\n01/02/2027\t00:00:05\t\r\n");
}

TEST_F(Log, NoLimiteGiraParaOBackupSemPerderNada) {
    // One byte below the limit still appends; the next line rotates.
    const std::string quase = Encher(kLimiteLog - 1, 'b');
    ASSERT_TRUE(log_.Escrever("um"));
    EXPECT_FALSE(std::filesystem::exists(Caminho(kBackup)));
    ASSERT_TRUE(log_.Escrever("dois"));
    EXPECT_EQ(LerArquivo(Caminho(kBackup)), quase + kPrefixo + "um\r\n");
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.log")), std::string(kPrefixo) + "dois\r\n");
    // Further rotations in the same second take numbered names.
    const std::string segundo = Encher(kLimiteLog, 'c');
    ASSERT_TRUE(log_.Escrever("3"));
    EXPECT_EQ(LerArquivo(Caminho("05122026-140309-2_tvxnetcfg.log")), segundo);
    // With no free name left it goes on in the same file.
    for (int n = 3; n <= 999; ++n) {
        Escrever(Caminho("05122026-140309-" + std::to_string(n) + "_tvxnetcfg.log"), "velho");
    }
    const std::string cheio = Encher(kLimiteLog, 'a');
    ASSERT_TRUE(log_.Escrever("não se perde"));
    EXPECT_EQ(LerArquivo(Caminho("tvxnetcfg.log")), cheio + kPrefixo + "n\xE3o se perde\r\n");
}

TEST_F(Log, BackupAoLadoDoLogEmOutraPastaELocalSemEscrita) {
    std::filesystem::create_directory(Caminho("logs"));
    log_.DefinirArquivo(Caminho("logs/tvxnetcfg.log"));
    const std::string cheio = Encher(kLimiteLog, 'z', "logs/tvxnetcfg.log");
    ASSERT_TRUE(log_.Escrever("x"));
    EXPECT_EQ(LerArquivo(Caminho(std::string("logs/") + kBackup)), cheio);
    EXPECT_EQ(LerArquivo(Caminho("logs/tvxnetcfg.log")), std::string(kPrefixo) + "x\r\n");
    log_.DefinirArquivo(Caminho("nao_existe/tvxnetcfg.log"));
    EXPECT_FALSE(log_.Escrever("x"));
    log_.DefinirArquivo(Caminho("logs"));  // a folder by the log's name
    EXPECT_FALSE(log_.Escrever("x"));
    log_.DefinirArquivo("");  // no name: nothing written, and that is fine
    EXPECT_TRUE(log_.Escrever("x"));
    EXPECT_EQ(Nomes(), std::set<std::string>{"logs"});
}

// The profile and the log against names that are not plain files of ours:
// links planted by another user, pipes, folders and device nodes are refused
// at once (never followed, never waited on, never opened), and a profile that
// cannot be read or a folder that takes no new file is said, never silenced.
constexpr uid_t kOutro = 65534;  // nobody

using ArquivosRecusados = Persistencia;

// A load ('c'), a save ('s') or a log line ('l'): "" when it went through,
// else the technician's text.
std::string Operar(char qual, const std::string& caminho) {
    if (qual == 'l') {
        cLog log;
        log.DefinirArquivo(caminho);
        const os::ResultadoArquivo r = log.Escrever("linha");
        return r.Ok() ? "" : TextoFalhaLog(caminho, r);
    }
    cEquipamento e;
    e.caminhoConfiguracao = caminho;
    e.SetIpNovo("10.0.0.9");
    std::string falha;
    return e.Configuracao(qual == 's', &falha) ? "" : falha;
}

TEST_F(ArquivosRecusados, NomesQueNaoSaoArquivosComunsSemEsperar) {
    const std::string alvo = Caminho("alvo");
    const std::string cheio(kLimiteLog, 'x');  // a full log would be rotated
    Escrever(alvo, cheio);
    // A link of another user to alvo, a dangling link, a pipe, a folder and a
    // device node, each tried by a load, a save and a log line.
    for (int tipo = 0; tipo < 5; ++tipo) {
        for (char qual : {'c', 's', 'l'}) {
            const std::string nome = Caminho(std::to_string(tipo) + qual);
            const char* c = nome.c_str();
            ASSERT_EQ(tipo == 0   ? ::symlink(alvo.c_str(), c) | ::lchown(c, kOutro, kOutro)
                      : tipo == 1 ? ::symlink(Caminho("novo").c_str(), c)
                      : tipo == 2 ? ::mkfifo(c, 0666)
                      : tipo == 3 ? ::mkdir(c, 0777)
                                  : ::mknod(c, S_IFCHR | 0666, makedev(1, 3)),
                      0);
            // A call that waits on a pipe never returns: it is left behind.
            auto resultado = std::make_shared<std::promise<std::string>>();
            std::thread([=] { resultado->set_value(Operar(qual, nome)); }).detach();
            std::future<std::string> fim = resultado->get_future();
            ASSERT_EQ(fim.wait_for(std::chrono::seconds(5)), std::future_status::ready) << nome;
            EXPECT_TRUE(fim.get().ends_with(
                nome + "\": " + (tipo < 2 ? "é um link simbólico" : "não é um arquivo comum")))
                << nome;
        }
    }
    EXPECT_EQ(LerArquivo(alvo), cheio);
    EXPECT_FALSE(std::filesystem::exists(Caminho("novo")));
    EXPECT_EQ(Nomes().size(), 16u);  // no backup, no temporary file
}

TEST_F(ArquivosRecusados, PerfilIlegivelGrandeOuEmPastaSemEscrita) {
    const std::string grande = std::string(kTamanhoMaximoPerfil + 1, ';');
    const struct {
        std::string conteudo;
        mode_t modoArquivo, modoPasta;
        char qual;
        const char* falha;  // the end of the text; "" when it went through
    } casos[] = {
        {"[X]\r\n", 0, 0755, 'c', ": permissão negada"},
        {grande, 0644, 0755, 'c', ": passa do limite de 1 MiB de um arquivo de configuração"},
        // The folder takes no new file: the file is rewritten in place.
        {"[X]\r\n", 0666, 0555, 's', ""},
        {"[X]\r\n", 0644, 0555, 's', ": permissão negada"},
    };
    const std::string ini = Caminho("tvxnetcfg.ini");
    for (const auto& c : casos) {
        SCOPED_TRACE(&c - casos);
        Escrever(ini, c.conteudo);
        ASSERT_EQ(::chmod(ini.c_str(), c.modoArquivo) | ::chmod(pasta_.c_str(), c.modoPasta), 0);
        // The file system sees another user on this thread: root reads and
        // writes anything.
        ::setfsgid(kOutro);
        ::setfsuid(kOutro);
        const std::string falha = Operar(c.qual, ini);
        ::setfsuid(0);
        ::setfsgid(0);
        ::chmod(pasta_.c_str(), 0700);
        EXPECT_TRUE(falha.ends_with(c.falha) && falha.empty() == (*c.falha == '\0')) << falha;
        const bool gravado = c.qual == 's' && falha.empty();
        EXPECT_TRUE(gravado
                        ? LerArquivo(ini).starts_with(c.conteudo + "[CONFIG]\r\nip=10.0.0.9\r\n")
                        : LerArquivo(ini) == c.conteudo);
        EXPECT_EQ(Nomes(), std::set<std::string>{"tvxnetcfg.ini"});
    }
}

}  // namespace
}  // namespace tvx
