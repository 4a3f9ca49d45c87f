// Writing the new IP address, mask and gateway into the connected device, one
// exchange per protocol family.
#include <algorithm>
#include <array>
#include <cstring>

#include "core/equipamento.h"
#include "protocols/protocolos_comum.h"
#include "transport/codec.h"

namespace tvx {

namespace {

using namespace protocolos;

constexpr size_t kTamanhoBlocoTexto = 60;
constexpr size_t kSlotIp = 0;
constexpr size_t kSlotMascara = 20;
constexpr size_t kSlotGateway = 40;

constexpr uint8_t kSubcomandoProgramarIp = 22;
constexpr size_t kTamanhoPayloadComando = kTamanhoTag + 3 * kTamanhoSlotEndereco;

using Registro70 = std::array<uint8_t, kTamanhoRegistroGateway>;

void GravarEnderecosNumericos(uint8_t* registro, const cEquipamento& e) {
    EscreverIpRegistro(registro, kOffsetIp, TextoParaIp(e.GetIpNovo()));
    EscreverIpRegistro(registro, kOffsetMascara, TextoParaIp(e.GetMascaraNova()));
    EscreverIpRegistro(registro, kOffsetGateway, TextoParaIp(e.GetGatewayNovo()));
}

void AnexarMac(std::string& resultado, const uint8_t* resposta) {
    resultado += "MAC=";
    resultado += MacParaTexto(resposta + kOffsetMacEco);
    resultado += "\r\n";
}

// Sends a 70-byte record unframed and takes the device's 70-byte echo.
bool TrocarRegistro(cEquipamento& e, const uint8_t* bloco, int tamanho, Registro70& resposta,
                    std::string& resultado) {
    if (!e.EnviaBruto(bloco, tamanho)) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    e.AguardaResposta();
    resposta.fill(0);
    if (!e.Recebe(resposta.data(), static_cast<int>(resposta.size()))) {
        resultado = kFalhaRecepcao;
        return false;
    }
    return true;
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
    AguardaResposta();
    std::array<uint8_t, kTamanhoBlocoTexto> resposta{};
    if (!Recebe(resposta.data(), static_cast<int>(resposta.size()))) {
        resultado = kFalhaRecepcao;
        return false;
    }
    ipLido = TextoRecebido(resposta.data() + kSlotIp, kTamanhoSlotEndereco);
    mascaraLida = TextoRecebido(resposta.data() + kSlotMascara, kTamanhoSlotEndereco);
    gatewayLido = TextoRecebido(resposta.data() + kSlotGateway, kTamanhoSlotEndereco);
    return true;
}

bool cEquipamento::ProgramarIpGatewayUniversal(std::string& resultado) {
    // This family keeps the addresses it sent in the stored record.
    GravarEnderecosNumericos(registroGatewayUniversal.data(), *this);
    Registro70 resposta{};
    if (!TrocarRegistro(*this, registroGatewayUniversal.data(), kGuBytesEnviados, resposta,
                        resultado)) {
        return false;
    }
    GuardarEnderecosLidos(*this, resposta.data());
    return true;
}

bool cEquipamento::ProgramarIpGatewayModbus(std::string& resultado) {
    Registro70 copia = registroGatewayModbus;
    // The record holds the start registers low byte first; the device wants
    // them high byte first. Only the copy is turned.
    TrocarBytes(copia.data() + kGmRegistroInicial, 2 * kQuantidadeMedidores);
    GravarEnderecosNumericos(copia.data(), *this);
    Registro70 resposta{};
    if (!TrocarRegistro(*this, copia.data(), static_cast<int>(copia.size()), resposta, resultado)) {
        return false;
    }
    GuardarEnderecosLidos(*this, resposta.data());
    AnexarMac(resultado, resposta.data());
    return true;
}

bool cEquipamento::ProgramarIpGatewayTx(std::string& resultado) {
    Registro70 copia = registroGatewayTx;
    GravarEnderecosNumericos(copia.data(), *this);
    Registro70 resposta{};
    if (!TrocarRegistro(*this, copia.data(), static_cast<int>(copia.size()), resposta, resultado)) {
        return false;
    }
    // A device that echoes another address did not take the new one; its
    // echo is not what the technician programmed.
    if (std::memcmp(resposta.data() + kOffsetIp, copia.data() + kOffsetIp, 4) != 0) {
        resultado = "Falha na programação.Reprograme o MAC.";
        return false;
    }
    GuardarEnderecosLidos(*this, resposta.data());
    AnexarMac(resultado, resposta.data());
    return true;
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
