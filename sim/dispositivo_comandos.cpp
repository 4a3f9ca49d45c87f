// The framed commands of the meters, RTUs and telemetry units.
#include <cstdio>
#include <cstring>

#include "core/catalogo.h"
#include "sim/dispositivo.h"
#include "sim/respostas.h"
#include "transport/codec.h"

namespace tvx::sim {

namespace {

struct Regra {
    uint8_t comando;
    uint8_t subcomando;
    size_t tamanho;
    const char* etiqueta;  // nullptr: no device tag in front
    const char* nome;
};

constexpr Regra kRegras[] = {
    {'L', 22, 68, "TVX5150S", "IP, mask and gateway"},
    {'L', 24, 8, "TVX5150S", "restart"},
    {'L', 31, 0, nullptr, "read configuration"},
    {'L', 20, 18, "TVX5150S", "MAC address"},
    {'L', 2, 10, "TVX3000A", "RTU address and rate"},
    {'L', 25, 49, "TVX3300S", "telemetry operator and ID"},
    {'L', 26, 89, "TVX3300S", "telemetry URL"},
    {'L', 28, 9, "TVX3300W", "reconnection time"},
    {'P', 1, 6, nullptr, "clock"},
    {'P', 5, 0, nullptr, "mass memory reset"},
    {'P', 4, 866, nullptr, "memory fields"},
};

const Regra* AcharRegra(uint8_t comando, uint8_t subcomando) {
    for (const Regra& r : kRegras) {
        if (r.comando == comando && r.subcomando == subcomando) {
            return &r;
        }
    }
    return nullptr;
}

// Which commands a model's firmware carries: the address commands for
// family 10, reading and restart for every framed model, and one command per
// extra setting it offers.
bool Aceita(const Perfil& perfil, const Regra& regra) {
    const bool framed = perfil.familia == kFamiliaComando || perfil.familia == kFamiliaNenhuma;
    if (regra.comando == 'L') {
        switch (regra.subcomando) {
            case 22:
                return perfil.familia == kFamiliaComando;
            case 24:
            case 31:
                return framed;
            case 20:
                return perfil.TemPasso(kPassoMacComando);
            case 2:
                return perfil.TemPasso(kPassoRtuVelocidade);
            case 25:
                return perfil.TemPasso(kPassoTelemetria);
            case 26:
                return perfil.TemPasso(kPassoUrl);
            case 28:
                return perfil.TemPasso(kPassoReconexao);
            default:
                return false;
        }
    }
    switch (regra.subcomando) {
        case 1:
            return perfil.TemPasso(kPassoRelogio);
        case 5:
            return perfil.TemPasso(kPassoMemoriaMassa);
        case 4:
            return perfil.TemPasso(kPassoCamposMemoria);
        default:
            return false;
    }
}

std::string NomeComando(uint8_t comando, uint8_t subcomando) {
    char t[32];
    if (comando >= 0x20 && comando < 0x7F) {
        std::snprintf(t, sizeof t, "'%c' %u", comando, subcomando);
    } else {
        std::snprintf(t, sizeof t, "0x%02X %u", comando, subcomando);
    }
    return t;
}

}  // namespace

Resposta Dispositivo::AtenderComando(const Pedido& pedido, Meio meio,
                                     const EstadoEquipamento& estado, bool recusar) const {
    const uint8_t cmd = pedido.comando;
    const uint8_t sub = pedido.subcomando;
    const bool simples = pedido.tipo == TipoPedido::ComandoSimples;
    // 'P' commands always come in the long DLE form; the short form is the
    // 'L' dialect of some models.
    const bool curta = !simples && cmd == 'L' && perfil_.tipoQuadro == kRespostaDleCurta;
    const Regra* regra = AcharRegra(cmd, sub);

    Resposta r;
    r.estado = estado;
    r.entendido = NomeComando(cmd, sub);
    if (regra) {
        r.entendido += std::string(" (") + regra->nome + ")";
    }
    if (simples) {
        r.entendido += ", plain frame";
    } else {
        char t[48];
        std::snprintf(t, sizeof t, ", DLE frame for RTU %u%s", pedido.rtu,
                      pedido.encapsulado ? " behind the TCP header" : "");
        r.entendido += t;
    }

    const auto responder = [&](uint8_t ack, Motivo motivo, std::string descricao) {
        const Forma f = simples ? RespostaAckSimples(cmd, sub, ack)
                                : RespostaAckDle(meio, curta, pedido.rtu, cmd, sub, ack, motivo);
        r.bytes = f.bytes;
        r.posicaoAck = f.posicaoAck;
        r.descricao =
            (ack == kAck ? "ACK" : "NAK") + std::string(descricao.empty() ? "" : ": ") + descricao;
        return r;
    };
    const auto recusa = [&](Motivo motivo, const std::string& detalhe = "") {
        r.estado = estado;
        return responder(
            kNak, motivo,
            TextoMotivo(motivo) + (detalhe.empty() ? std::string() : " (" + detalhe + ")"));
    };

    if (!pedido.defeito.empty()) {
        return recusa(Motivo::Quadro, pedido.defeito);
    }
    if (recusar) {
        return recusa(Motivo::Recusado);
    }
    if (!regra || !Aceita(perfil_, *regra)) {
        return recusa(Motivo::ComandoDesconhecido);
    }
    const std::vector<uint8_t>& d = pedido.dados;
    if (d.size() != regra->tamanho) {
        return recusa(Motivo::Tamanho,
                      std::to_string(d.size()) + " bytes, takes " + std::to_string(regra->tamanho));
    }
    if (regra->etiqueta && std::memcmp(d.data(), regra->etiqueta, 8) != 0) {
        return recusa(Motivo::Etiqueta, "\"" +
                                            Latin1Visivel(std::string(d.begin(), d.begin() + 8)) +
                                            "\", takes \"" + regra->etiqueta + "\"");
    }

    EstadoEquipamento& novo = r.estado;
    char t[96];
    if (cmd == 'L') {
        switch (sub) {
            case 22: {
                const auto ip = LerIpCampo(d.data() + 8, 20);
                const auto mascara = LerIpCampo(d.data() + 28, 20);
                const auto gateway = LerIpCampo(d.data() + 48, 20);
                r.entendido += ": \"" + Latin1Visivel(TextoDoBloco(d.data() + 8, 20)) + "\" \"" +
                               Latin1Visivel(TextoDoBloco(d.data() + 28, 20)) + "\" \"" +
                               Latin1Visivel(TextoDoBloco(d.data() + 48, 20)) + "\"";
                if (!ip || !mascara || !gateway) {
                    return recusa(Motivo::ValorInvalido, "an address text is not a dotted IPv4");
                }
                novo.pendente = std::array<uint32_t, 3>{*ip, *mascara, *gateway};
                return responder(kAck, Motivo::Nenhum, "kept, in force after a restart");
            }
            case 24: {
                std::string aplicado = "restarting";
                if (novo.pendente) {
                    novo.ip = (*novo.pendente)[0];
                    novo.mascara = (*novo.pendente)[1];
                    novo.gateway = (*novo.pendente)[2];
                    novo.pendente.reset();
                    aplicado += ", now at " + IpCompacto(novo.ip) + " " + IpCompacto(novo.mascara) +
                                " " + IpCompacto(novo.gateway);
                }
                ++novo.resets;
                r.reinicia = true;
                return responder(kAck, Motivo::Nenhum, aplicado);
            }
            case 31: {
                const std::string texto = TextoLeitura(estado);
                const Forma f = simples ? RespostaTextoSimples(texto)
                                        : RespostaTextoDle(meio, pedido.rtu, texto);
                r.bytes = f.bytes;
                r.posicaoAck = -1;
                r.descricao = "configuration text, " + std::to_string(texto.size()) + " bytes";
                return r;
            }
            case 20:
                if (std::memcmp(d.data() + 8, "MAC=", 4) != 0) {
                    return recusa(Motivo::ValorInvalido, "no \"MAC=\"");
                }
                std::memcpy(novo.mac.data(), d.data() + 12, 6);
                r.entendido += ": " + Mac(novo.mac);
                return responder(kAck, Motivo::Nenhum, "MAC stored");
            case 2:
                r.entendido +=
                    ": RTU " + std::to_string(d[8]) + ", rate code " + std::to_string(d[9]);
                if (d[9] > 15 && VelocidadeDoPassoRtu(d[9]) == 0) {
                    return recusa(Motivo::ValorInvalido, "rate code neither 0..15 nor 96 or 38");
                }
                novo.rtu = d[8];
                novo.velocidade = d[9];
                return responder(kAck, Motivo::Nenhum, "RTU and rate stored");
            case 25:
                novo.operadora = d[8];
                novo.idTelemetria = TextoDoBloco(d.data() + 9, 40);
                r.entendido += ": operator " + std::to_string(d[8]) + ", ID \"" +
                               Latin1Visivel(novo.idTelemetria) + "\"";
                return responder(kAck, Motivo::Nenhum, "operator and ID stored");
            case 26:
                novo.url = TextoDoBloco(d.data() + 8, 81);
                r.entendido += ": \"" + Latin1Visivel(novo.url) + "\"";
                return responder(kAck, Motivo::Nenhum, "URL stored");
            case 28:
                r.entendido += ": " + std::to_string(d[8]) + " min";
                if (d[8] < 1 || d[8] > 240) {
                    return recusa(Motivo::ValorInvalido, "minutes outside 1..240");
                }
                novo.tempoReconexao = d[8];
                return responder(kAck, Motivo::Nenhum, "reconnection time stored");
            default:
                break;
        }
    } else {
        switch (sub) {
            case 1: {
                std::snprintf(t, sizeof t, ": %02u/%02u/%02u %02u:%02u:%02u", d[0], d[1], d[2],
                              d[3], d[4], d[5]);
                r.entendido += t;
                const bool valido = d[0] >= 1 && d[0] <= 31 && d[1] >= 1 && d[1] <= 12 &&
                                    d[2] <= 99 && d[3] <= 23 && d[4] <= 59 && d[5] <= 59;
                if (!valido) {
                    return recusa(Motivo::ValorInvalido, "not a date and time");
                }
                std::memcpy(novo.relogio.data(), d.data(), 6);
                return responder(kAck, Motivo::Nenhum, "clock set");
            }
            case 5:
                novo.memoriaMassaZerada = true;
                return responder(kAck, Motivo::Nenhum, "mass memory cleared");
            case 4:
                std::snprintf(t, sizeof t, ": fields %u, %u, %u, meter type 0x%02X", d[0], d[27],
                              d[54], d[1]);
                r.entendido += t;
                novo.camposMemoria = d;
                return responder(kAck, Motivo::Nenhum, "memory fields stored");
            default:
                break;
        }
    }
    return recusa(Motivo::ComandoDesconhecido);
}

}  // namespace tvx::sim
