#include "protocols/respostas.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

#include "core/catalogo.h"
#include "core/registros.h"
#include "core/texto.h"
#include "core/utilitarios.h"
#include "protocols/protocolos_comum.h"

namespace tvx::protocolos {

namespace {

constexpr size_t kMaximoValorMarca = 260;

constexpr uint8_t kFuncaoTxIon = 0x21;
constexpr uint8_t kFuncaoTx940 = 0x55;
constexpr uint8_t kFuncaoRx = 0x33;
constexpr uint8_t kFuncaoModbus = 0xAA;
constexpr uint8_t kFuncaoPc = 0xFF;

// The reply laid into a block of its layout's size; what did not arrive
// reads as zero.
template <size_t N>
std::array<uint8_t, N> Bloco(Recebido resposta) {
    std::array<uint8_t, N> bloco{};
    std::copy_n(resposta.begin(), std::min(resposta.size(), N), bloco.begin());
    return bloco;
}

// A zero-ended text field of a reply, as the page, the terminal and the log
// may show it (see TextoDoEquipamento).
std::string TextoRecebido(const uint8_t* campo, size_t tamanho) {
    const uint8_t* fim = std::find(campo, campo + tamanho, uint8_t{0});
    return TextoDoEquipamento(
        std::string_view(reinterpret_cast<const char*>(campo), static_cast<size_t>(fim - campo)));
}

// The read-back fields of a 70-byte echo in numeric form.
void EnderecosNumericos(Decodificada& d, const uint8_t* r) {
    d.ip = IpParaTexto(LerIpRegistro(r, kOffsetIp), false);
    d.mascara = IpParaTexto(LerIpRegistro(r, kOffsetMascara), false);
    d.gateway = IpParaTexto(LerIpRegistro(r, kOffsetGateway), false);
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

std::string TextoFuncaoGateway(const uint8_t* r) {
    const std::string ipRx = IpParaTexto(LerIpRegistro(r, kGuIpGatewayRx), false);
    switch (r[kGuFuncao]) {
        case kFuncaoTxIon:
            return "Função: Gateway TX ION\r\nIP:" + ipRx + "\r\nRTU Ion 1:" + Decimal(r[kGuRtu1]) +
                   "\r\nRTU Ion 2:" + Decimal(r[kGuRtu2]);
        case kFuncaoTx940:
            return "Função: Gateway TX 940\r\nIP:" + ipRx + "\r\nTVX940:" + Decimal(r[kGuRtu1]);
        case kFuncaoRx:
            return "Função: Gateway RX";
        case kFuncaoModbus:
            return "Função: Gateway Modbus\r\nVelocidade:" +
                   TextoVelocidadeGateway(r[kGuVelocidade]);
        case kFuncaoPc:
            return "Função: Gateway PC";
        default:
            return "";
    }
}

// The characters after a label up to the next "\r", trimmed, when the label
// is there with a usable value.
void ValorDaMarca(std::string_view texto, std::string_view marca,
                  std::optional<std::string>& valor) {
    std::string bruto;
    if (TextoEntreMarcas(texto, marca, "\r", bruto, kMaximoValorMarca) == 0) {
        return;
    }
    Aparar(bruto);
    valor = TextoDoEquipamento(bruto);
}

std::string TextoMacRecebido(const uint8_t* resposta) {
    return "Programação recebida:\r\nMAC=" + MacParaTexto(resposta + kMacValor) + "\r\n";
}

std::string Hexadecimal(const uint8_t* dados, size_t tamanho) {
    static constexpr char kDigitos[] = "0123456789ABCDEF";
    std::string texto;
    for (size_t i = 0; i < tamanho; ++i) {
        if (i) {
            texto += ' ';
        }
        texto += kDigitos[dados[i] >> 4];
        texto += kDigitos[dados[i] & 0x0F];
    }
    return texto;
}

}  // namespace

Decodificada DecodificarEcoTexto(Recebido resposta) {
    const auto r = Bloco<kTamanhoBlocoTexto>(resposta);
    Decodificada d;
    d.ip = TextoRecebido(r.data() + kSlotIp, kTamanhoSlotEndereco);
    d.mascara = TextoRecebido(r.data() + kSlotMascara, kTamanhoSlotEndereco);
    d.gateway = TextoRecebido(r.data() + kSlotGateway, kTamanhoSlotEndereco);
    return d;
}

Decodificada DecodificarEcoRegistro(Recebido resposta, uint8_t familia, uint32_t ipEnviado) {
    const auto r = Bloco<kTamanhoRegistroGateway>(resposta);
    Decodificada d;
    // A device that echoes another address did not take the new one; its
    // echo is not what the technician programmed.
    if (familia == kFamiliaGatewayTx && LerIpRegistro(r.data(), kOffsetIp) != ipEnviado) {
        d.ok = false;
        d.texto = "Falha na programação.Reprograme o MAC.";
        return d;
    }
    EnderecosNumericos(d, r.data());
    if (familia == kFamiliaGatewayTx || familia == kFamiliaGatewayModbus) {
        d.texto = "MAC=" + MacParaTexto(r.data() + kOffsetMacEco) + "\r\n";
    }
    return d;
}

Decodificada DecodificarRegistroGateway(Recebido resposta) {
    const auto r = Bloco<kTamanhoRegistroGateway>(resposta);
    Decodificada d;
    EnderecosNumericos(d, r.data());
    d.texto = TextoFuncaoGateway(r.data());
    return d;
}

Decodificada DecodificarTextoEtiquetado(Recebido resposta, size_t inicio) {
    auto r = Bloco<kTamanhoRespostaTexto>(resposta);
    LimparControle(r.data(), r.size());
    inicio = std::min(inicio, r.size());
    const auto fim =
        std::find(r.begin() + static_cast<std::ptrdiff_t>(inicio), r.end(), uint8_t{0});
    const std::string_view latin1(reinterpret_cast<const char*>(r.data()) + inicio,
                                  static_cast<size_t>(fim - r.begin()) - inicio);
    Decodificada d;
    ValorDaMarca(latin1, "IP:", d.ip);
    ValorDaMarca(latin1, "Mask:", d.mascara);
    ValorDaMarca(latin1, "Gateway:", d.gateway);
    d.texto = TextoDoEquipamento(latin1, true);
    return d;
}

Decodificada DecodificarEcoMacIdSms(Recebido resposta) {
    const auto r = Bloco<kTamanhoBlocoMac>(resposta);
    // Each echoed text stays within its own slot: a full-length ID is not
    // followed by a zero and would otherwise run on into "S=".
    Decodificada d;
    d.texto = TextoMacRecebido(r.data()) + "ID=" + TextoRecebido(r.data() + kIdValor, kMaximoId) +
              "\r\nCelular SMS=" + TextoRecebido(r.data() + kSmsValor, kMaximoSms) + "\r\n";
    return d;
}

Decodificada DecodificarEcoMac(Recebido resposta) {
    const auto r = Bloco<kTamanhoRespostaMac>(resposta);
    Decodificada d;
    if (std::memcmp(r.data() + kMacMarca, "MAC=", 4) != 0) {
        d.ok = false;
        d.texto =
            "Programação do MAC inválido.Cabeçalho desconhecido:" + Hexadecimal(r.data(), r.size());
        return d;
    }
    d.texto = TextoMacRecebido(r.data());
    return d;
}

}  // namespace tvx::protocolos
