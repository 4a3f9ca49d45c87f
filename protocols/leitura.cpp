// Reading back what a device holds: the universal gateway's record, the
// tagged meters' ready-made text and the Modbus model's registers.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "core/equipamento.h"
#include "core/texto.h"
#include "protocols/protocolos_comum.h"

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

constexpr int kQuantidadeEntradas = 16;
constexpr int kQuantidadeSaidas = 4;
constexpr int kBytesProgramacao = 8;  // registers 1280..1283
constexpr int kBytesMedicoes = 28;    // registers 1024..1037
constexpr const char* kFormatosMedicao[] = {
    "IACS:", "IDC:", "VFN:", "VNT:", "VDC:", "TEMP1:", "TEMP2:"};

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

// "%.3f" without the process locale: the front end sets it from the
// environment, and a device value must not turn into "1,500".
std::string TresCasas(float valor) {
    char texto[400];
    const auto r = std::to_chars(texto, texto + sizeof texto, static_cast<double>(valor),
                                 std::chars_format::fixed, 3);
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
    valor = Latin1ParaUtf8(bruto);
    return true;
}

// A register block counts as read only when the reply carried every byte
// asked for: the channel copies whatever its buffer holds, and zeros taken
// for register values would be stored and later written back to the device.
bool LerBloco(cCanal& canal, uint16_t registro, uint8_t* destino, int tamanho) {
    constexpr int kInicioDados = 9;  // Modbus TCP: header, unit, function, count
    if (!canal.LerRegistros(registro, destino, tamanho)) {
        return false;
    }
    return canal.TamanhoUltimaRecepcao() >= kInicioDados + tamanho &&
           canal.BufferRx()[kInicioDados - 1] >= tamanho;
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
    resultado = Latin1ParaUtf8(latin1);
    return true;
}

bool cEquipamento::LerRegistrosMedicao(std::string& resultado) {
    ModoModbus();
    resultado.clear();
    uint8_t programacao[kBytesProgramacao] = {};
    if (LerBloco(canal, kRegistroEntradas, programacao, sizeof programacao)) {
        const uint16_t entradas = RegistroDe(programacao);
        const uint16_t saidas = RegistroDe(programacao + 2);
        resultado += "\r\nProgramação ativa:\r\n";
        for (int i = 1; i <= kQuantidadeEntradas; ++i) {
            resultado += "E" + Decimal(static_cast<uint64_t>(i)) + ":Ativa em:";
            resultado += (entradas >> (i - 1) & 1) ? "1" : "0";
            resultado += "\r\n";
        }
        for (int i = 1; i <= kQuantidadeSaidas; ++i) {
            resultado += "Saída " + Decimal(static_cast<uint64_t>(i)) + ":";
            resultado += (saidas >> (i - 1) & 1) ? "(1) Biestável" : "(0) Monoestável";
            resultado += "\r\n";
        }
        // Registers 1282-1283 hold the octets in dotted order, which is the
        // byte order of the numeric form in memory.
        const uint32_t ip = LerIpRegistro(programacao, 4);
        ipLido = IpParaTexto(ip, false);
        resultado += "IP:" + ipLido;
        entradasDigitais = entradas;
        saidasDigitais = saidas;
        ipModbus = ip;
    }
    uint8_t medicoes[kBytesMedicoes] = {};
    if (LerBloco(canal, kRegistroMedicoes, medicoes, sizeof medicoes)) {
        resultado += "\r\nMedição:\r\n";
        for (size_t i = 0; i < std::size(kFormatosMedicao); ++i) {
            // The first register of each pair holds the low 16 bits.
            const uint32_t baixo = RegistroDe(medicoes + 4 * i);
            const uint32_t alto = RegistroDe(medicoes + 4 * i + 2);
            const float valor = std::bit_cast<float>(alto << 16 | baixo);
            resultado += kFormatosMedicao[i] + TresCasas(valor) + "\r\n";
        }
    }
    return true;
}

}  // namespace tvx
