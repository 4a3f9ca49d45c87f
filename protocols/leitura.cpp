// Reading back what a device holds: the universal gateway's record, the
// tagged meters' ready-made text and the Modbus model's registers.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "core/equipamento.h"
#include "core/texto.h"
#include "protocols/protocolos_comum.h"
#include "protocols/registros_medicao.h"

namespace tvx {

namespace {

using namespace protocolos;

constexpr size_t kTamanhoPedidoLer = 60;
constexpr size_t kTamanhoRespostaTexto = 280;
constexpr size_t kMaximoValorMarca = 260;
constexpr uint8_t kSubcomandoLerTexto = 31;

constexpr uint8_t kFuncaoTxIon = 0x21;
constexpr uint8_t kFuncaoTx940 = 0x55;
constexpr uint8_t kFuncaoRx = 0x33;
constexpr uint8_t kFuncaoModbus = 0xAA;
constexpr uint8_t kFuncaoPc = 0xFF;

bool Entre(uint32_t valor, std::initializer_list<uint32_t> lista) {
    for (uint32_t v : lista) {
        if (v == valor) {
            return true;
        }
    }
    return false;
}

std::string Decimal(uint64_t valor) {
    char texto[24];
    const auto r = std::to_chars(texto, texto + sizeof texto, valor);
    return std::string(texto, r.ptr);
}

// 1200 × 2^n baud, where the code that would give 76800 stands for 115200.
std::string TextoVelocidadeGateway(uint8_t codigo) {
    // Beyond this no rate fits in 64 bits; such a code is no rate at all.
    if (codigo > 52) {
        return "?";
    }
    uint64_t multiplicador = uint64_t{1} << codigo;
    if (multiplicador == 64) {
        multiplicador = 96;
    }
    return Decimal(1200 * multiplicador);
}

void AnexarFuncaoGateway(std::string& resultado, const uint8_t* r) {
    const std::string ipRx = IpParaTexto(LerIpRegistro(r, kGuIpGatewayRx), false);
    switch (r[kGuFuncao]) {
        case kFuncaoTxIon:
            resultado += "Função: Gateway TX ION\r\nIP:" + ipRx + "\r\n";
            resultado += "RTU Ion 1:" + Decimal(r[kGuRtu1]) + "\r\n";
            resultado += "RTU Ion 2:" + Decimal(r[kGuRtu2]);
            break;
        case kFuncaoTx940:
            resultado += "Função: Gateway TX 940\r\nIP:" + ipRx + "\r\n";
            resultado += "TVX940:" + Decimal(r[kGuRtu1]);
            break;
        case kFuncaoRx:
            resultado += "Função: Gateway RX";
            break;
        case kFuncaoModbus:
            resultado += "Função: Gateway Modbus\r\n";
            resultado += "Velocidade:" + TextoVelocidadeGateway(r[kGuVelocidade]);
            break;
        case kFuncaoPc:
            resultado += "Função: Gateway PC";
            break;
        default:
            break;
    }
}

// The characters after a label up to the next "\r", trimmed, when the label
// is there with a usable value.
bool ValorDaMarca(std::string_view texto, std::string_view marca, std::string& valor) {
    std::string bruto;
    if (TextoEntreMarcas(texto, marca, "\r", bruto, kMaximoValorMarca) == 0) {
        return false;
    }
    Aparar(bruto);
    valor = TextoDoEquipamento(bruto);
    return true;
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
    AguardaResposta();
    std::array<uint8_t, kTamanhoRegistroGateway> resposta{};
    if (!Recebe(resposta.data(), static_cast<int>(resposta.size()))) {
        resultado = kFalhaRecepcao;
        return false;
    }
    GuardarEnderecosLidos(*this, resposta.data());
    AnexarFuncaoGateway(resultado, resposta.data());
    return true;
}

bool cEquipamento::LerEnderecosTexto(std::string& resultado) {
    if (!EnviarComando(*this, kComandoL, kSubcomandoLerTexto, 0, nullptr)) {
        resultado = kFalhaEnvioIp;
        return false;
    }
    AguardaResposta();
    std::array<uint8_t, kTamanhoRespostaTexto> resposta{};
    if (!Recebe(resposta.data(), static_cast<int>(resposta.size()))) {
        resultado = kFalhaRecepcao;
        return false;
    }
    // Plain frames carry the text from their first byte; a DLE reply has its
    // header in front, two bytes longer over TCP.
    size_t inicio = 0;
    if (!Entre(modelo, {6, 7, 17})) {
        inicio = UsaTcp() ? 5 : 3;
    }
    LimparControle(resposta.data(), resposta.size());
    const auto fim = std::find(resposta.begin() + static_cast<std::ptrdiff_t>(inicio),
                               resposta.end(), uint8_t{0});
    const std::string_view latin1(reinterpret_cast<const char*>(resposta.data()) + inicio,
                                  static_cast<size_t>(fim - resposta.begin()) - inicio);
    ValorDaMarca(latin1, "IP:", ipLido);
    ValorDaMarca(latin1, "Mask:", mascaraLida);
    ValorDaMarca(latin1, "Gateway:", gatewayLido);
    resultado = TextoDoEquipamento(latin1, true);
    return true;
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
