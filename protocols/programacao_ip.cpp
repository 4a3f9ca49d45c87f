// Writing the new IP address, mask and gateway into the connected device, one
// exchange per protocol family.
#include <array>

#include "core/equipamento.h"
#include "protocols/protocolos_comum.h"
#include "transport/codec.h"

namespace tvx {

namespace {

using namespace protocolos;

constexpr uint8_t kSubcomandoProgramarIp = 22;
constexpr size_t kTamanhoPayloadComando = kTamanhoTag + 3 * kTamanhoSlotEndereco;

using Registro70 = std::array<uint8_t, kTamanhoRegistroGateway>;

void GravarEnderecosNumericos(uint8_t* registro, const cEquipamento& e) {
    EscreverIpRegistro(registro, kOffsetIp, TextoParaIp(e.GetIpNovo()));
    EscreverIpRegistro(registro, kOffsetMascara, TextoParaIp(e.GetMascaraNova()));
    EscreverIpRegistro(registro, kOffsetGateway, TextoParaIp(e.GetGatewayNovo()));
}

// Sends a record of families 6, 9 and 15 unframed (tamanho of its 70 bytes)
// and decodes the device's 70-byte echo.
bool TrocarRegistro(cEquipamento& e, const Registro70& registro, int tamanho, uint8_t familia,
                    std::string& resultado) {
    if (!e.EnviaBruto(registro.data(), tamanho)) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    Registro70 resposta;
    const auto recebido = ReceberResposta(e, resposta, resultado);
    const uint32_t ipEnviado = LerIpRegistro(registro.data(), kOffsetIp);
    return recebido &&
           GuardarResposta(e, DecodificarEcoRegistro(*recebido, familia, ipEnviado), resultado);
}

}  // namespace

bool cEquipamento::ProgramarIp(std::string& resultado) {
    switch (Familia()) {
        case kFamiliaTexto:
            return ProgramarIpTexto(resultado);
        case kFamiliaGatewayTx:
            return ProgramarIpGatewayTx(resultado);
        case kFamiliaGatewayUniversal:
            return ProgramarIpGatewayUniversal(resultado);
        case kFamiliaComando:
            return ProgramarIpComando(resultado);
        case kFamiliaGatewayModbus:
            return ProgramarIpGatewayModbus(resultado);
        case kFamiliaRegistros:
            return ProgramarIpRegistros(resultado);
        default:
            return false;
    }
}

bool cEquipamento::ProgramarIpTexto(std::string& resultado) {
    std::array<uint8_t, kTamanhoBlocoTexto> bloco{};
    GravarEndereco(bloco.data() + kSlotIp, ipNovo);
    GravarEndereco(bloco.data() + kSlotMascara, mascaraNova);
    GravarEndereco(bloco.data() + kSlotGateway, gatewayNovo);
    if (!EnviaBruto(bloco.data(), static_cast<int>(bloco.size()))) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    std::array<uint8_t, kTamanhoBlocoTexto> resposta;
    const auto recebido = ReceberResposta(*this, resposta, resultado);
    return recebido && GuardarResposta(*this, DecodificarEcoTexto(*recebido), resultado);
}

bool cEquipamento::ProgramarIpGatewayUniversal(std::string& resultado) {
    // This family keeps the addresses it sent in the stored record.
    GravarEnderecosNumericos(registroGatewayUniversal.data(), *this);
    return TrocarRegistro(*this, registroGatewayUniversal, kGuBytesEnviados,
                          kFamiliaGatewayUniversal, resultado);
}

bool cEquipamento::ProgramarIpGatewayModbus(std::string& resultado) {
    Registro70 copia = registroGatewayModbus;
    // The record holds the start registers low byte first; the device wants
    // them high byte first. Only the copy is turned.
    TrocarBytes(copia.data() + kGmRegistroInicial, 2 * kQuantidadeMedidores);
    GravarEnderecosNumericos(copia.data(), *this);
    return TrocarRegistro(*this, copia, static_cast<int>(copia.size()), kFamiliaGatewayModbus,
                          resultado);
}

bool cEquipamento::ProgramarIpGatewayTx(std::string& resultado) {
    Registro70 copia = registroGatewayTx;
    GravarEnderecosNumericos(copia.data(), *this);
    return TrocarRegistro(*this, copia, static_cast<int>(copia.size()), kFamiliaGatewayTx,
                          resultado);
}

bool cEquipamento::ProgramarIpComando(std::string& resultado) {
    std::array<uint8_t, kTamanhoPayloadComando> payload{};
    EscreverTag(payload.data(), kTagTvx5150s);
    GravarEndereco(payload.data() + kTamanhoTag, ipNovo);
    GravarEndereco(payload.data() + kTamanhoTag + kTamanhoSlotEndereco, mascaraNova);
    GravarEndereco(payload.data() + kTamanhoTag + 2 * kTamanhoSlotEndereco, gatewayNovo);
    if (!EnviarComando(*this, kComandoL, kSubcomandoProgramarIp,
                       static_cast<int32_t>(payload.size()), payload.data())) {
        resultado = "Programação de IP falhou.";
        return false;
    }
    AguardaResposta();
    if (!RecebeAck()) {
        resultado = kFalhaProgramacao;
        return false;
    }
    resultado = "Programação de IP OK.";
    return true;
}

bool cEquipamento::ProgramarIpRegistros(std::string& resultado) {
    if (infoModelo.alterarIp == 0) {
        resultado = "IP não alterado";
        return true;
    }
    ModoModbus();
    ipModbus = TextoParaIp(ipNovo);
    // The numeric value holds the first octet in its lowest byte, so its bytes
    // in memory are the register data in dotted order.
    uint8_t octetos[4];
    EscreverIpRegistro(octetos, 0, ipModbus);
    uint8_t saida[kTamanhoRespostaEscrita] = {};
    if (!canal.EscreverRegistros(kRegistroIpInicio, octetos, 2, saida, sizeof saida)) {
        resultado = "Falha ao programar IP parte LOW";
        return false;
    }
    if (!canal.EscreverRegistros(kRegistroIpFim, octetos + 2, 2, saida, sizeof saida)) {
        resultado = "Falha ao programar IP parte HIGH";
        return false;
    }
    resultado.clear();
    return true;
}

}  // namespace tvx
