// Reading back what a device holds: the universal gateway's record, the
// tagged meters' ready-made text and the Modbus model's registers.
#include <array>
#include <cstring>
#include <initializer_list>

#include "core/equipamento.h"
#include "protocols/protocolos_comum.h"
#include "protocols/registros_medicao.h"

namespace tvx {

namespace {

using namespace protocolos;

constexpr size_t kTamanhoPedidoLer = 60;
constexpr uint8_t kSubcomandoLerTexto = 31;

bool Entre(uint32_t valor, std::initializer_list<uint32_t> lista) {
    for (uint32_t v : lista) {
        if (v == valor) {
            return true;
        }
    }
    return false;
}

// A register block counts as read only when the reply carried every byte asked for.
bool LerBloco(cCanal& canal, uint16_t registro, uint8_t* destino, int tamanho) {
    return canal.LerRegistros(registro, destino, tamanho) &&
           BlocoRegistrosCompleto(canal.BufferRx(), canal.TamanhoUltimaRecepcao(), tamanho);
}

}  // namespace

bool cEquipamento::LerConfiguracao(std::string& resultado) {
    resultado.clear();
    if (Familia() == kFamiliaGatewayUniversal) {
        return LerGatewayUniversal(resultado);
    }
    if (Entre(modelo, {2, 3, 4, 5, 6, 7, 15, 17, 22, 23, 24, 25, 29, 31, 33, 34})) {
        return LerEnderecosTexto(resultado);
    }
    if (Familia() == kFamiliaRegistros) {
        return LerRegistrosMedicao(resultado);
    }
    return false;
}

bool cEquipamento::LerGatewayUniversal(std::string& resultado) {
    std::array<uint8_t, kTamanhoPedidoLer> pedido{};
    std::memcpy(pedido.data(), "LER=", 4);
    if (!EnviaBruto(pedido.data(), static_cast<int>(pedido.size()))) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    std::array<uint8_t, kTamanhoRegistroGateway> resposta;
    const auto recebido = ReceberResposta(*this, resposta, resultado);
    return recebido && GuardarResposta(*this, DecodificarRegistroGateway(*recebido), resultado);
}

bool cEquipamento::LerEnderecosTexto(std::string& resultado) {
    if (!EnviarComando(*this, kComandoL, kSubcomandoLerTexto, 0, nullptr)) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    std::array<uint8_t, kTamanhoRespostaTexto> resposta;
    const auto recebido = ReceberResposta(*this, resposta, resultado);
    // Plain frames carry the text from their first byte; a DLE reply has its
    // header in front, two bytes longer over TCP.
    const size_t inicio = Entre(modelo, {6, 7, 17}) ? 0 : UsaTcp() ? 5 : 3;
    return recebido &&
           GuardarResposta(*this, DecodificarTextoEtiquetado(*recebido, inicio), resultado, true);
}

bool cEquipamento::LerRegistrosMedicao(std::string& resultado) {
    ModoModbus();
    resultado.clear();
    uint8_t programacao[kBytesProgramacao] = {};
    const bool programacaoLida =
        LerBloco(canal, kRegistroEntradas, programacao, sizeof programacao);
    if (programacaoLida) {
        const ProgramacaoAtiva ativa = DecodificarProgramacao(programacao);
        resultado += TextoProgramacao(ativa);
        ipLido = IpParaTexto(ativa.ip, false);
        entradasDigitais = ativa.entradas;
        saidasDigitais = ativa.saidas;
        ipModbus = ativa.ip;
    }
    uint8_t medicoes[kBytesMedicoes] = {};
    const bool medicoesLidas = LerBloco(canal, kRegistroMedicoes, medicoes, sizeof medicoes);
    if (medicoesLidas) {
        resultado += TextoMedicoes(medicoes);
    }
    // Either block alone is worth showing; a device that answered neither
    // was not read at all, and the run must not end as if it had been.
    if (!programacaoLida && !medicoesLidas) {
        resultado = kFalhaRecepcao;
        return false;
    }
    return true;
}

}  // namespace tvx
