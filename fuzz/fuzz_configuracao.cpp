// The configuration file as the wizard loads it at start-up: whatever bytes
// are in "tvxnetcfg.ini" (a file technicians edit by hand and carry between
// computers) go through the loader into the equipment object. What was
// loaded is then saved and loaded again: the second load must give the same
// object, or a value would drift each time the wizard is used.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "core/equipamento.h"
#include "core/registros.h"
#include "fuzz/pasta_temporaria.h"
#include "fuzz/sem_rede.h"

namespace {

void Falha(const char* campo) {
    std::fprintf(stderr, "fuzz_configuracao: %s changed between two loads\n", campo);
    std::abort();
}

void Gravar(const std::string& caminho, const uint8_t* dados, size_t tamanho) {
    std::ofstream arquivo(caminho, std::ios::binary | std::ios::trunc);
    arquivo.write(reinterpret_cast<const char*>(dados), static_cast<std::streamsize>(tamanho));
    if (!arquivo) {
        std::perror("fuzz_configuracao: writing the input file");
        std::abort();
    }
}

// The profile functions take a value's surrounding blanks off, then one pair
// of surrounding quotes; a value that still has either after that loses it on
// the next load. That is how the Windows functions behave, so such a value is
// not compared. A carriage return inside a value becomes a space on saving.
bool TextoEstavel(std::string_view v) {
    if (v.find('\r') != std::string_view::npos) {
        return false;
    }
    constexpr std::string_view kBrancos = " \t\v\f\r";
    if (!v.empty() && (kBrancos.find(v.front()) != std::string_view::npos ||
                       kBrancos.find(v.back()) != std::string_view::npos)) {
        return false;
    }
    return !(v.size() >= 2 && v.front() == '"' && v.back() == '"');
}

void CompararTexto(const std::string& a, const std::string& b, const char* campo) {
    if (TextoEstavel(a) && a != b) {
        Falha(campo);
    }
}

template <size_t N>
std::string Campo(const std::array<uint8_t, N>& registro, size_t offset, size_t tamanho) {
    return tvx::TextoDoCampo(registro.data() + offset, tamanho);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    tvx::fuzz::PastaTemporaria();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    const std::string caminho = tvx::fuzz::PastaTemporaria() + "/tvxnetcfg.ini";
    Gravar(caminho, dados, tamanho);

    tvx::cEquipamento primeiro;
    primeiro.caminhoConfiguracao = caminho;
    if (!primeiro.Configuracao(false)) {
        return 0;
    }
    primeiro.Configuracao(true);

    tvx::cEquipamento segundo;
    segundo.caminhoConfiguracao = caminho;
    segundo.Configuracao(false);

    CompararTexto(primeiro.GetIpNovo(), segundo.GetIpNovo(), "CONFIG ip");
    CompararTexto(primeiro.GetMascaraNova(), segundo.GetMascaraNova(), "CONFIG mask");
    CompararTexto(primeiro.GetGatewayNovo(), segundo.GetGatewayNovo(), "CONFIG gateway");
    CompararTexto(primeiro.GetIpProgramacao(), segundo.GetIpProgramacao(), "MEIO ip");
    CompararTexto(primeiro.GetPorta(), segundo.GetPorta(), "MEIO porta");
    if (primeiro.GetModelo() != segundo.GetModelo()) {
        Falha("CONFIG modelo");
    }
    if (primeiro.GetMeio() != segundo.GetMeio()) {
        Falha("MEIO tipo");
    }
    if (primeiro.GetRtu() != segundo.GetRtu()) {
        Falha("MEIO rtu");
    }
    if (primeiro.GetVelocidade() != segundo.GetVelocidade()) {
        Falha("MEIO velocidade");
    }
    if (primeiro.registroTelemetria[tvx::kTelOperadora] !=
        segundo.registroTelemetria[tvx::kTelOperadora]) {
        Falha("ESPECIAL operadora");
    }
    // The record fields hold the value cut to the field's length; the cut
    // may leave a blank at the end, which the next load takes off again.
    if (TextoEstavel(Campo(primeiro.registroTelemetria, tvx::kTelId, tvx::kTamanhoIdTelemetria)) &&
        primeiro.registroTelemetria != segundo.registroTelemetria) {
        Falha("ESPECIAL id");
    }
    if (TextoEstavel(Campo(primeiro.registroUrl, tvx::kUrlTexto, tvx::kTamanhoUrl)) &&
        primeiro.registroUrl != segundo.registroUrl) {
        Falha("ESPECIAL url");
    }
    if (primeiro.registroGatewayModbus != segundo.registroGatewayModbus) {
        Falha("GATEWAY_MODBUS");
    }
    if (primeiro.registroGatewayTx != segundo.registroGatewayTx) {
        Falha("LINKORA_940_5");
    }
    return 0;
}
