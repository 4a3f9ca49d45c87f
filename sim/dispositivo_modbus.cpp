// The Modbus register map of the I/O and measurement module.
#include <bit>
#include <cstdio>

#include "sim/dispositivo.h"
#include "sim/respostas.h"

namespace tvx::sim {

namespace {

constexpr uint16_t kPrimeiraMedicao = 1024;
constexpr uint16_t kUltimaMedicao = 1037;
constexpr uint16_t kEntradas = 1280;
constexpr uint16_t kSaidas = 1281;
constexpr uint16_t kIpAlto = 1282;   // first and second octet
constexpr uint16_t kIpBaixo = 1283;  // third and fourth octet

constexpr uint8_t kFuncaoIlegal = 1;
constexpr uint8_t kEnderecoIlegal = 2;
constexpr uint8_t kValorIlegal = 3;
constexpr uint8_t kFalhaDoEquipamento = 4;

constexpr uint16_t kMaiorLeitura = 125;
constexpr uint16_t kMaiorEscrita = 123;

const char* const kNomesMedicoes[] = {"IACS", "IDC", "VFN", "VNT", "VDC", "TEMP1", "TEMP2"};

std::optional<uint16_t> LerRegistro(const EstadoEquipamento& e, uint16_t registro) {
    if (registro >= kPrimeiraMedicao && registro <= kUltimaMedicao) {
        const unsigned deslocamento = registro - kPrimeiraMedicao;
        const uint32_t bits = std::bit_cast<uint32_t>(e.medicoes[deslocamento / 2]);
        // Each value spans two registers, the first with the low 16 bits.
        return static_cast<uint16_t>(deslocamento % 2 == 0 ? bits & 0xFFFF : bits >> 16);
    }
    switch (registro) {
        case kEntradas:
            return e.entradas;
        case kSaidas:
            return e.saidas;
        case kIpAlto:
            return static_cast<uint16_t>((e.ip & 0xFF) << 8 | (e.ip >> 8 & 0xFF));
        case kIpBaixo:
            return static_cast<uint16_t>((e.ip >> 16 & 0xFF) << 8 | (e.ip >> 24 & 0xFF));
        default:
            return std::nullopt;
    }
}

bool Gravavel(uint16_t registro) {
    return registro >= kEntradas && registro <= kIpBaixo;
}

void GravarRegistro(EstadoEquipamento& e, uint16_t registro, uint16_t valor) {
    const uint32_t alto = valor >> 8;
    const uint32_t baixo = valor & 0xFF;
    switch (registro) {
        case kEntradas:
            e.entradas = valor;
            break;
        case kSaidas:
            e.saidas = valor;
            break;
        case kIpAlto:
            e.ip = (e.ip & 0xFFFF0000u) | alto | baixo << 8;
            break;
        case kIpBaixo:
            e.ip = (e.ip & 0x0000FFFFu) | alto << 16 | baixo << 24;
            break;
        default:
            break;
    }
}

std::string Faixa(uint16_t registro, uint16_t quantidade) {
    char t[48];
    if (quantidade <= 1) {
        std::snprintf(t, sizeof t, "register %u", registro);
    } else {
        std::snprintf(t, sizeof t, "registers %u..%u", registro,
                      static_cast<unsigned>(registro) + quantidade - 1);
    }
    return t;
}

const char* NomeExcecao(uint8_t codigo) {
    switch (codigo) {
        case kFuncaoIlegal:
            return "illegal function";
        case kEnderecoIlegal:
            return "illegal data address";
        case kValorIlegal:
            return "illegal data value";
        case kFalhaDoEquipamento:
            return "server device failure";
        default:
            return "exception";
    }
}

}  // namespace

Resposta Dispositivo::AtenderModbus(const Pedido& pedido, Meio meio,
                                    const EstadoEquipamento& estado, Falha falha) const {
    Resposta r;
    r.estado = estado;
    char t[64];
    std::snprintf(t, sizeof t, "Modbus unit %u function %u", pedido.unidade, pedido.funcao);
    r.entendido = t;
    if (pedido.funcao == 3 || pedido.funcao == 16) {
        r.entendido += (pedido.funcao == 3 ? ", read " : ", write ") +
                       Faixa(pedido.registro, pedido.quantidade);
    }

    if (pedido.tipo == TipoPedido::ModbusRtu && !pedido.defeito.empty()) {
        // A Modbus slave never answers a frame whose check value is wrong.
        r.entendido += " (" + pedido.defeito + ")";
        r.descricao = "no reply: bad frame";
        return r;
    }
    // Unit 0 on a serial line is a broadcast: carried out, never answered.
    const bool difusao = pedido.tipo == TipoPedido::ModbusRtu && pedido.unidade == 0;
    const auto excecao = [&](uint8_t codigo, const std::string& porque = "") {
        r.estado = estado;
        if (!difusao) {
            r.bytes =
                EnvelopeModbus(meio, pedido, {static_cast<uint8_t>(pedido.funcao | 0x80), codigo});
        }
        r.descricao = "exception " + std::to_string(codigo) + " (" + NomeExcecao(codigo) + ")" +
                      (porque.empty() ? "" : ": " + porque);
        return r;
    };

    if (falha == Falha::ExcecaoModbus) {
        return excecao(kEnderecoIlegal, "fault");
    }
    if (falha == Falha::Recusar) {
        return excecao(kFalhaDoEquipamento, "refused");
    }
    if (pedido.funcao != 3 && pedido.funcao != 16) {
        return excecao(kFuncaoIlegal);
    }
    if (!pedido.defeito.empty()) {
        return excecao(kValorIlegal, pedido.defeito);
    }

    if (pedido.funcao == 3) {
        if (pedido.quantidade < 1 || pedido.quantidade > kMaiorLeitura) {
            return excecao(kValorIlegal, "count " + std::to_string(pedido.quantidade));
        }
        std::vector<uint8_t> pdu{3, static_cast<uint8_t>(pedido.quantidade * 2)};
        std::string valores;
        for (uint32_t i = 0; i < pedido.quantidade; ++i) {
            const uint32_t registro = pedido.registro + i;
            const auto valor = registro > 0xFFFF
                                   ? std::nullopt
                                   : LerRegistro(estado, static_cast<uint16_t>(registro));
            if (!valor) {
                return excecao(kEnderecoIlegal, "no register " + std::to_string(registro));
            }
            pdu.push_back(static_cast<uint8_t>(*valor >> 8));
            pdu.push_back(static_cast<uint8_t>(*valor & 0xFF));
        }
        for (uint16_t i = 0; i < 7; ++i) {
            const uint16_t primeiro = static_cast<uint16_t>(kPrimeiraMedicao + 2 * i);
            if (pedido.registro <= primeiro && primeiro + 1 < pedido.registro + pedido.quantidade) {
                std::snprintf(t, sizeof t, " %s=%.3f", kNomesMedicoes[i], estado.medicoes[i]);
                valores += t;
            }
        }
        if (pedido.registro <= kIpBaixo && kIpAlto < pedido.registro + pedido.quantidade) {
            valores += " IP=" + IpCompacto(estado.ip);
        }
        if (pedido.registro <= kEntradas && kEntradas < pedido.registro + pedido.quantidade) {
            std::snprintf(t, sizeof t, " inputs=%04X", estado.entradas);
            valores += t;
        }
        if (pedido.registro <= kSaidas && kSaidas < pedido.registro + pedido.quantidade) {
            std::snprintf(t, sizeof t, " outputs=%04X", estado.saidas);
            valores += t;
        }
        r.bytes = EnvelopeModbus(meio, pedido, pdu);
        r.descricao = std::to_string(pedido.quantidade) + " registers:" + valores;
        return r;
    }

    if (pedido.quantidade < 1 || pedido.quantidade > kMaiorEscrita ||
        pedido.contagemBytes != pedido.quantidade * 2 ||
        pedido.valores.size() != pedido.contagemBytes) {
        return excecao(kValorIlegal, "count " + std::to_string(pedido.quantidade) +
                                         ", byte count " + std::to_string(pedido.contagemBytes));
    }
    for (uint32_t i = 0; i < pedido.quantidade; ++i) {
        const uint32_t registro = pedido.registro + i;
        if (registro > 0xFFFF || !Gravavel(static_cast<uint16_t>(registro))) {
            return excecao(kEnderecoIlegal,
                           "register " + std::to_string(registro) + " cannot be written");
        }
    }
    std::string valores;
    for (uint16_t i = 0; i < pedido.quantidade; ++i) {
        const auto valor =
            static_cast<uint16_t>(pedido.valores[2u * i] << 8 | pedido.valores[2u * i + 1]);
        const auto registro = static_cast<uint16_t>(pedido.registro + i);
        GravarRegistro(r.estado, registro, valor);
        std::snprintf(t, sizeof t, " %u=%04X", registro, valor);
        valores += t;
    }
    r.entendido += ":" + valores;
    if (difusao) {
        r.descricao = "broadcast: applied, no reply";
        return r;
    }
    r.bytes = EnvelopeModbus(
        meio, pedido,
        {16, static_cast<uint8_t>(pedido.registro >> 8),
         static_cast<uint8_t>(pedido.registro & 0xFF), static_cast<uint8_t>(pedido.quantidade >> 8),
         static_cast<uint8_t>(pedido.quantidade & 0xFF)});
    r.descricao = "written";
    if (pedido.registro <= kIpBaixo && kIpAlto < pedido.registro + pedido.quantidade) {
        r.descricao += ", IP now " + IpCompacto(r.estado.ip);
    }
    return r;
}

}  // namespace tvx::sim
