#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/catalogo.h"
#include "sim/pedido.h"
#include "sim/perfil.h"
#include "transport/codec.h"

namespace tvx::sim {

namespace {

// Longest payload a DLE frame may carry once the doubling is removed: the
// program's frames never pass its 2048-byte buffer.
constexpr size_t kMaiorCargaDle = 2048;

constexpr size_t kBlocoTexto = 60;
constexpr size_t kBlocoUniversal = 64;
constexpr size_t kBlocoGateway = 70;

constexpr size_t kMbap = 6;  // transaction, protocol, length
constexpr size_t kMaiorPduModbus = 253;

bool Comeca(const std::vector<uint8_t>& v, const char* marca) {
    const size_t n = std::strlen(marca);
    return v.size() >= n && std::memcmp(v.data(), marca, n) == 0;
}

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

std::string Hex2(uint8_t b) {
    char t[4];
    std::snprintf(t, sizeof t, "%02X", b);
    return t;
}

}  // namespace

Dialeto DialetoDaFamilia(uint8_t familia) {
    switch (familia) {
        case kFamiliaTexto:
        case kFamiliaGatewayTx:
        case kFamiliaGatewayUniversal:
        case kFamiliaGatewayModbus:
            return Dialeto::Blocos;
        case kFamiliaRegistros:
            return Dialeto::Modbus;
        default:
            return Dialeto::Comandos;
    }
}

std::optional<size_t> CargaQuadroSimples(uint8_t comando, uint8_t subcomando) {
    if (comando != 'L') {
        return std::nullopt;
    }
    switch (subcomando) {
        case 2:
            return 10;  // "TVX3000A", RTU, rate
        case 20:
            return 18;  // "TVX5150S", "MAC=", MAC
        case 22:
            return 68;  // "TVX5150S", IP, mask, gateway texts
        case 24:
            return 8;  // "TVX5150S"
        case 25:
            return 49;  // "TVX3300S", operator, ID
        case 26:
            return 89;  // "TVX3300S", URL
        case 28:
            return 9;  // "TVX3300W", minutes
        case 31:
            return 0;
        default:
            return std::nullopt;
    }
}

std::optional<Pedido> DecodificarDle(const uint8_t* dados, size_t tamanho, size_t& consumido) {
    if (tamanho < 2) {
        return std::nullopt;
    }
    Pedido pedido;
    pedido.tipo = TipoPedido::ComandoDle;
    std::vector<uint8_t> conteudo;
    size_t i = 2;
    for (;;) {
        if (i >= tamanho) {
            return std::nullopt;
        }
        const uint8_t b = dados[i];
        if (b != kDle) {
            conteudo.push_back(b);
            ++i;
        } else {
            if (i + 1 >= tamanho) {
                return std::nullopt;
            }
            const uint8_t seguinte = dados[i + 1];
            if (seguinte == kDle) {
                conteudo.push_back(kDle);
                i += 2;
            } else if (seguinte == kEtx) {
                const size_t fim = i + 2;
                if (fim + 2 > tamanho) {
                    return std::nullopt;
                }
                uint16_t crc = 0;
                Crc16Cms(crc, dados, fim);
                const uint16_t recebido = Be16(dados + fim);
                if (crc != recebido) {
                    char t[64];
                    std::snprintf(t, sizeof t, "CRC %04X, expected %04X", recebido, crc);
                    pedido.defeito = t;
                }
                consumido = fim + 2;
                break;
            } else {
                pedido.defeito = "DLE followed by " + Hex2(seguinte);
                consumido = i + 2;
                break;
            }
        }
        if (conteudo.size() > kMaiorCargaDle + 3) {
            pedido.defeito = "frame longer than the equipment takes";
            consumido = i;
            break;
        }
    }
    if (conteudo.size() < 3 && pedido.defeito.empty()) {
        pedido.defeito = "frame without address, command and subcommand";
    }
    if (conteudo.size() >= 1) {
        pedido.rtu = conteudo[0];
    }
    if (conteudo.size() >= 2) {
        pedido.comando = conteudo[1];
    }
    if (conteudo.size() >= 3) {
        pedido.subcomando = conteudo[2];
        pedido.dados.assign(conteudo.begin() + 3, conteudo.end());
    }
    pedido.bruto.assign(dados, dados + consumido);
    return pedido;
}

Extrator::Extrator(uint32_t modelo, Meio meio) : modelo_(modelo), meio_(meio) {
    const Perfil perfil = PerfilDoModelo(modelo);
    familia_ = perfil.familia;
    dialeto_ = DialetoDaFamilia(familia_);
    quadroSimples_ = perfil.tipoQuadro == kRespostaSimples;
}

void Extrator::Alimentar(const uint8_t* dados, size_t tamanho) {
    entrada_.insert(entrada_.end(), dados, dados + tamanho);
}

Pedido Extrator::Retirar(TipoPedido tipo, size_t quantos) {
    quantos = std::min(quantos, entrada_.size());
    Pedido pedido;
    pedido.tipo = tipo;
    pedido.bruto.assign(entrada_.begin(), entrada_.begin() + static_cast<long>(quantos));
    entrada_.erase(entrada_.begin(), entrada_.begin() + static_cast<long>(quantos));
    return pedido;
}

Pedido Extrator::Descartar(size_t quantos, std::string motivo) {
    Pedido pedido = Retirar(TipoPedido::Invalido, quantos);
    pedido.defeito = std::move(motivo);
    return pedido;
}

std::optional<Pedido> Extrator::Proximo(bool ocioso) {
    if (entrada_.empty()) {
        return std::nullopt;
    }
    std::optional<Pedido> pedido;
    switch (dialeto_) {
        case Dialeto::Comandos:
            pedido = ProximoComando(ocioso);
            break;
        case Dialeto::Blocos:
            pedido = ProximoBloco(ocioso);
            break;
        case Dialeto::Modbus:
            pedido = meio_ == Meio::Tcp ? ProximoModbusTcp(ocioso) : ProximoModbusRtu(ocioso);
            break;
    }
    if (!pedido && entrada_.size() >= kTamanhoMaximoEntrada) {
        // Nothing the equipment knows is this long: drop it rather than grow.
        return Descartar(entrada_.size(), "input longer than any request");
    }
    return pedido;
}

std::optional<Pedido> Extrator::ProximoComando(bool ocioso) {
    const uint8_t primeiro = entrada_[0];
    const size_t n = entrada_.size();

    if (primeiro == kDle) {
        if (n >= 2 && entrada_[1] != kStx) {
            return Descartar(1, "DLE without STX");
        }
        size_t consumido = 0;
        std::optional<Pedido> pedido = DecodificarDle(entrada_.data(), n, consumido);
        if (!pedido) {
            if (ocioso) {
                return Descartar(n, "incomplete DLE frame");
            }
            return std::nullopt;
        }
        entrada_.erase(entrada_.begin(), entrada_.begin() + static_cast<long>(consumido));
        return pedido;
    }

    if (meio_ == Meio::Tcp && primeiro == 0x00) {
        if (n < kCabecalhoTcpDle) {
            if (ocioso) {
                return Descartar(n, "incomplete TCP header");
            }
            return std::nullopt;
        }
        const uint8_t* h = entrada_.data();
        const size_t carga = Be16(h + 10);
        const bool cabecalhoBom = h[1] == 0 && h[2] == 0x03 && h[3] == 0 && h[5] == 0 &&
                                  h[6] == 0 && h[7] == 0x05 && h[9] == 0xFF && carga >= 1 &&
                                  carga < kLimiteCargaTcpDle;
        if (!cabecalhoBom) {
            return Descartar(n, "unknown TCP header");
        }
        if (n < kCabecalhoTcpDle + carga) {
            if (ocioso) {
                return Descartar(n, "TCP header announces more bytes than arrived");
            }
            return std::nullopt;
        }
        const uint8_t* quadro = h + kCabecalhoTcpDle;
        size_t consumido = 0;
        std::optional<Pedido> pedido;
        if (carga >= 2 && quadro[0] == kDle && quadro[1] == kStx) {
            pedido = DecodificarDle(quadro, carga, consumido);
        }
        if (!pedido) {
            return Descartar(kCabecalhoTcpDle + carga, "TCP header without a whole DLE frame");
        }
        if (consumido != carga && pedido->defeito.empty()) {
            pedido->defeito = "TCP header length " + std::to_string(carga) + ", frame " +
                              std::to_string(consumido);
        }
        Pedido completo = Retirar(TipoPedido::ComandoDle, kCabecalhoTcpDle + carga);
        pedido->bruto = std::move(completo.bruto);
        pedido->encapsulado = true;
        return pedido;
    }

    if (meio_ == Meio::Tcp && quadroSimples_ && (primeiro == 'L' || primeiro == 'P')) {
        if (n < 2) {
            if (ocioso) {
                return Descartar(n, "incomplete command");
            }
            return std::nullopt;
        }
        const std::optional<size_t> carga = CargaQuadroSimples(primeiro, entrada_[1]);
        size_t total;
        if (carga) {
            total = 2 + *carga;
            if (n < total) {
                if (ocioso) {
                    return Descartar(n, "incomplete command");
                }
                return std::nullopt;
            }
        } else {
            // A plain frame carries no length: an unknown one ends with the
            // segment that brought it.
            if (!ocioso) {
                return std::nullopt;
            }
            total = n;
        }
        Pedido pedido = Retirar(TipoPedido::ComandoSimples, total);
        pedido.comando = pedido.bruto[0];
        pedido.subcomando = pedido.bruto[1];
        pedido.dados.assign(pedido.bruto.begin() + 2, pedido.bruto.end());
        return pedido;
    }

    // Resynchronise on the next DLE; what lies before it is noise.
    const auto dle = std::find(entrada_.begin() + 1, entrada_.end(), kDle);
    if (meio_ == Meio::Serial && dle != entrada_.end()) {
        return Descartar(static_cast<size_t>(dle - entrada_.begin()), "not a command frame");
    }
    return Descartar(n, "not a command frame");
}

std::optional<Pedido> Extrator::ProximoBloco(bool ocioso) {
    const size_t n = entrada_.size();
    if (n < 4 && !ocioso) {
        return std::nullopt;
    }
    size_t tamanho = kBlocoTexto;
    switch (familia_) {
        case kFamiliaGatewayUniversal:
            tamanho = Comeca(entrada_, "LER=") || Comeca(entrada_, "MAC=") ? kBlocoTexto
                                                                           : kBlocoUniversal;
            break;
        case kFamiliaGatewayTx:
            tamanho = Comeca(entrada_, "MAC=") ? kBlocoTexto : kBlocoGateway;
            break;
        case kFamiliaGatewayModbus:
            tamanho = kBlocoGateway;
            break;
        default:
            break;
    }
    if (n < tamanho) {
        if (ocioso) {
            return Descartar(
                n, "block of " + std::to_string(n) + " bytes, expected " + std::to_string(tamanho));
        }
        return std::nullopt;
    }
    Pedido pedido = Retirar(TipoPedido::Bloco, tamanho);
    pedido.dados = pedido.bruto;
    return pedido;
}

std::optional<Pedido> Extrator::ProximoModbusTcp(bool ocioso) {
    const size_t n = entrada_.size();
    if (n < kMbap + 2) {
        if (ocioso) {
            return Descartar(n, "incomplete Modbus TCP header");
        }
        return std::nullopt;
    }
    const uint8_t* h = entrada_.data();
    const size_t comprimento = Be16(h + 4);
    if (Be16(h + 2) != 0 || comprimento < 2 || comprimento > kMaiorPduModbus + 1) {
        return Descartar(n, "not a Modbus TCP header");
    }
    if (n < kMbap + comprimento) {
        if (ocioso) {
            return Descartar(n, "incomplete Modbus TCP request");
        }
        return std::nullopt;
    }
    Pedido pedido = Retirar(TipoPedido::ModbusTcp, kMbap + comprimento);
    const uint8_t* p = pedido.bruto.data();
    pedido.transacao = Be16(p);
    pedido.unidade = p[6];
    pedido.funcao = p[7];
    const size_t pdu = comprimento - 1;  // function and data
    if (pedido.funcao == 3) {
        if (pdu != 5) {
            pedido.defeito = "read request of " + std::to_string(pdu) + " bytes";
        } else {
            pedido.registro = Be16(p + 8);
            pedido.quantidade = Be16(p + 10);
        }
    } else if (pedido.funcao == 16) {
        if (pdu < 6) {
            pedido.defeito = "write request of " + std::to_string(pdu) + " bytes";
        } else {
            pedido.registro = Be16(p + 8);
            pedido.quantidade = Be16(p + 10);
            pedido.contagemBytes = p[12];
            pedido.valores.assign(pedido.bruto.begin() + 13, pedido.bruto.end());
            if (pedido.valores.size() != pedido.contagemBytes) {
                pedido.defeito = "byte count " + std::to_string(pedido.contagemBytes) + ", " +
                                 std::to_string(pedido.valores.size()) + " bytes follow";
            }
        }
    }
    return pedido;
}

std::optional<Pedido> Extrator::ProximoModbusRtu(bool ocioso) {
    const size_t n = entrada_.size();
    size_t tamanho = 0;
    if (n >= 2) {
        if (entrada_[1] == 3) {
            tamanho = 8;
        } else if (entrada_[1] == 16 && n >= 7) {
            tamanho = 9 + static_cast<size_t>(entrada_[6]);
        }
    }
    if (tamanho == 0 || n < tamanho) {
        if (ocioso) {
            return Descartar(n, "no whole Modbus RTU request");
        }
        return std::nullopt;
    }
    Pedido pedido = Retirar(TipoPedido::ModbusRtu, tamanho);
    const uint8_t* p = pedido.bruto.data();
    pedido.unidade = p[0];
    pedido.funcao = p[1];
    pedido.registro = Be16(p + 2);
    if (pedido.funcao == 3) {
        pedido.quantidade = Be16(p + 4);
    } else {
        pedido.quantidade = Be16(p + 4);
        pedido.contagemBytes = p[6];
        pedido.valores.assign(pedido.bruto.begin() + 7, pedido.bruto.end() - 2);
    }
    uint16_t crc = 0;
    Crc16Modbus(crc, p, tamanho - 2);
    const uint16_t recebido = static_cast<uint16_t>(p[tamanho - 2] | p[tamanho - 1] << 8);
    if (crc != recebido) {
        char t[64];
        std::snprintf(t, sizeof t, "CRC %04X, expected %04X", recebido, crc);
        pedido.defeito = t;
    }
    return pedido;
}

}  // namespace tvx::sim
