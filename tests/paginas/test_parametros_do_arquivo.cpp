// What a configuration file hands the parameters page must not reach the
// device behind the technician's back: control bytes and characters the
// Latin-1 records cannot hold are refused on Next (and saved back as the file
// held them), and a drop-down that shows blank does not send the code the
// file held.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "avisos_gravados.h"
#include "paginas/parametros.h"

namespace tvx {
namespace {

TEST(ParametrosDoArquivo, OQueOArquivoMandaAoEquipamento) {
    struct Caso {
        std::string perfil;  // Windows-1252; its last line is the key at stake
        const char* marca;   // the step's tick
        const char* recusa;  // "" when Next goes through
    } casos[] = {
        {"modelo=23\r\nip=10.0.0.5\r\n[ESPECIAL]\r\nurl=a\x1B[2J\x7F", "Alterar URL?",
         "URL (Telemetria) contém um caractere de controle (\\x1B)"},
        {"modelo=23\r\nip=10.0.0.5\r\n[ESPECIAL]\r\nid=12345678901\x80",
         "Alterar Operadora e ID de Telemetria?",
         "ID (Telemetria 12 caracteres) contém \"€\", que o equipamento não aceita"},
        {"modelo=3\r\nip=10.0.0.1\x01", nullptr, "IP contém um caractere de controle (\\x01)"},
        // The row shows blank: the range the row shows for nothing stored goes.
        {"modelo=21\r\nip=10.0.0.5\r\n[LINKORA_940_5]\r\nfaixartu=9", nullptr, ""},
    };
    const std::string ini = std::filesystem::temp_directory_path() / "tvx-parametros-arquivo.ini";
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.perfil);
        std::ofstream(ini, std::ios::binary) << "[CONFIG]\r\nmask=255.0.0.0\r\n"
                                             << c.perfil << "\r\n";
        cEquipamento eq;
        eq.caminhoConfiguracao = ini;
        ASSERT_TRUE(eq.Configuracao(false) && eq.CarregaInfoModelo());
        cPropertyRows linhas;
        ConstruirParametros(eq, linhas);
        std::string erro;
        ASSERT_TRUE(c.marca == nullptr || AplicarParametro(linhas, c.marca, "1", erro));
        teste::AvisosGravados avisos;
        EXPECT_EQ(ConfirmarParametros(eq, linhas, avisos), *c.recusa == '\0');
        EXPECT_EQ(avisos.vistos.empty() ? "" : std::get<1>(avisos.vistos[0]), c.recusa);
        EXPECT_EQ(eq.registroGatewayTx[kGtFaixaRtu], 0);
        ASSERT_TRUE(eq.Configuracao(true));
        std::ifstream arquivo(ini, std::ios::binary);
        const std::string depois{std::istreambuf_iterator<char>(arquivo), {}};
        const std::string chave = c.perfil.substr(c.perfil.rfind('\n') + 1) + "\r\n";
        EXPECT_EQ(depois.find(chave) != std::string::npos, *c.recusa != '\0') << depois;
    }
    std::filesystem::remove(ini);
}

}  // namespace
}  // namespace tvx
