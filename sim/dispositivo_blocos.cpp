// The unframed blocks of the gateways and the text-addressed meters.
#include <cstring>

#include "core/catalogo.h"
#include "core/registros.h"
#include "sim/dispositivo.h"
#include "sim/respostas.h"

namespace tvx::sim {

namespace {

constexpr size_t kBlocoTexto = 60;
constexpr size_t kCampoTexto = 20;
constexpr size_t kRegistro = 70;
constexpr size_t kEcoMac = 10;

bool Comeca(const std::vector<uint8_t>& d, const char* marca) {
    return d.size() >= 4 && std::memcmp(d.data(), marca, 4) == 0;
}

void GravarTexto(uint8_t* campo, size_t tamanho, const std::string& texto) {
    std::memset(campo, 0, tamanho);
    std::memcpy(campo, texto.data(), std::min(texto.size(), tamanho));
}

// The 70-byte record the gateways answer with: addresses in force, the
// settings bytes as the equipment keeps them, its MAC at the end.
std::vector<uint8_t> Registro70(const EstadoEquipamento& e, uint32_t ip, uint32_t mascara,
                                uint32_t gateway) {
    std::vector<uint8_t> bloco(e.registroGateway.begin(), e.registroGateway.end());
    EscreverIpRegistro(bloco.data(), kOffsetIp, ip);
    EscreverIpRegistro(bloco.data(), kOffsetMascara, mascara);
    EscreverIpRegistro(bloco.data(), kOffsetGateway, gateway);
    std::memcpy(bloco.data() + kOffsetMacEco, e.mac.data(), 6);
    return bloco;
}

// An address other than ip, for an equipment that did not take it.
uint32_t Outro(uint32_t ip, uint32_t antigo) {
    return antigo != ip ? antigo : ip ^ 0x01000000u;
}

std::string Enderecos(uint32_t ip, uint32_t mascara, uint32_t gateway) {
    return IpCompacto(ip) + " " + IpCompacto(mascara) + " " + IpCompacto(gateway);
}

}  // namespace

Resposta Dispositivo::AtenderBloco(const Pedido& pedido, const EstadoEquipamento& estado,
                                   Falha falha) const {
    const std::vector<uint8_t>& d = pedido.dados;
    const size_t n = d.size();
    const uint8_t familia = perfil_.familia;
    Resposta r;
    r.estado = estado;
    EstadoEquipamento& novo = r.estado;

    enum class Tipo { Ler, MacIdSms, Mac, Textos, Universal, Gateway, Nenhum } tipo = Tipo::Nenhum;
    size_t tamanhoResposta = 0;
    if (familia == kFamiliaGatewayUniversal && n == kBlocoTexto && Comeca(d, "LER=")) {
        tipo = Tipo::Ler;
        tamanhoResposta = kRegistro;
    } else if (n == kBlocoTexto && Comeca(d, "MAC=") && perfil_.TemPasso(kPassoMacIdSms)) {
        tipo = Tipo::MacIdSms;
        tamanhoResposta = kBlocoTexto;
    } else if (n == kBlocoTexto && Comeca(d, "MAC=") && perfil_.TemPasso(kPassoMac)) {
        tipo = Tipo::Mac;
        tamanhoResposta = kEcoMac;
    } else if (familia == kFamiliaTexto && n == kBlocoTexto) {
        tipo = Tipo::Textos;
        tamanhoResposta = kBlocoTexto;
    } else if (familia == kFamiliaGatewayUniversal && n == kGuBytesEnviados) {
        tipo = Tipo::Universal;
        tamanhoResposta = kRegistro;
    } else if ((familia == kFamiliaGatewayTx || familia == kFamiliaGatewayModbus) &&
               n == kRegistro) {
        tipo = Tipo::Gateway;
        tamanhoResposta = kRegistro;
    }
    if (tipo == Tipo::Nenhum) {
        r.entendido = "block of " + std::to_string(n) + " bytes this model does not take";
        r.descricao = "no reply";
        return r;
    }

    if (falha == Falha::Recusar) {
        // A refusal in a dialect without acknowledgements: a block of the
        // expected length that starts with NAK bytes and holds nothing else.
        r.entendido = "block of " + std::to_string(n) + " bytes";
        r.bytes.assign(tamanhoResposta, 0);
        std::fill_n(r.bytes.begin(), 4, kNak);
        r.descricao = "refused: " + std::to_string(tamanhoResposta) + " bytes starting with NAK";
        return r;
    }

    switch (tipo) {
        case Tipo::Ler:
            r.entendido = "\"LER=\" read request";
            r.bytes = Registro70(estado, estado.ip, estado.mascara, estado.gateway);
            r.descricao = "record: " + Enderecos(estado.ip, estado.mascara, estado.gateway) +
                          ", function " + NomeFuncaoGateway(estado.registroGateway[kGuFuncao]);
            return r;

        case Tipo::MacIdSms: {
            std::memcpy(novo.mac.data(), d.data() + 4, 6);
            novo.idTelemetria = TextoDoBloco(d.data() + 23, 17);
            novo.celularSms = TextoDoBloco(d.data() + 42, 18);
            r.entendido = "MAC " + Mac(novo.mac) + ", ID \"" + Latin1Visivel(novo.idTelemetria) +
                          "\", SMS \"" + Latin1Visivel(novo.celularSms) + "\"";
            r.bytes.assign(kBlocoTexto, 0);
            std::memcpy(r.bytes.data(), "MAC=", 4);
            std::memcpy(r.bytes.data() + 4, novo.mac.data(), 6);
            std::memcpy(r.bytes.data() + 20, "ID=", 3);
            GravarTexto(r.bytes.data() + 23, 17, novo.idTelemetria);
            std::memcpy(r.bytes.data() + 40, "S=", 2);
            GravarTexto(r.bytes.data() + 42, 18, novo.celularSms);
            r.descricao = "the settings it now holds";
            return r;
        }

        case Tipo::Mac:
            std::memcpy(novo.mac.data(), d.data() + 4, 6);
            r.entendido = "MAC " + Mac(novo.mac);
            r.bytes.assign(d.begin(), d.begin() + 4);
            r.bytes.insert(r.bytes.end(), novo.mac.begin(), novo.mac.end());
            r.descricao = "\"MAC=\" and the MAC it now holds";
            return r;

        case Tipo::Textos: {
            const auto ip = LerIpCampo(d.data(), kCampoTexto);
            const auto mascara = LerIpCampo(d.data() + 20, kCampoTexto);
            const auto gateway = LerIpCampo(d.data() + 40, kCampoTexto);
            r.entendido = "address texts \"" + Latin1Visivel(TextoDoBloco(d.data(), 20)) + "\" \"" +
                          Latin1Visivel(TextoDoBloco(d.data() + 20, 20)) + "\" \"" +
                          Latin1Visivel(TextoDoBloco(d.data() + 40, 20)) + "\"";
            uint32_t eco[3] = {estado.ip, estado.mascara, estado.gateway};
            if (!ip || !mascara || !gateway) {
                r.descricao = "texts not taken, echoing those in force: ";
            } else if (falha == Falha::IpDiferente) {
                eco[0] = Outro(*ip, estado.ip);
                r.descricao = "new address not taken, echoing another: ";
            } else {
                novo.ip = eco[0] = *ip;
                novo.mascara = eco[1] = *mascara;
                novo.gateway = eco[2] = *gateway;
                r.descricao = "texts in force: ";
            }
            r.bytes.assign(kBlocoTexto, 0);
            for (size_t i = 0; i < 3; ++i) {
                GravarTexto(r.bytes.data() + i * kCampoTexto, kCampoTexto, IpCompacto(eco[i]));
            }
            r.descricao += Enderecos(eco[0], eco[1], eco[2]);
            return r;
        }

        case Tipo::Universal:
        case Tipo::Gateway: {
            const uint32_t ip = LerIpRegistro(d.data(), kOffsetIp);
            const uint32_t mascara = LerIpRegistro(d.data(), kOffsetMascara);
            const uint32_t gateway = LerIpRegistro(d.data(), kOffsetGateway);
            r.entendido =
                (tipo == Tipo::Universal ? "universal gateway record: " : "gateway record: ") +
                Enderecos(ip, mascara, gateway);
            if (tipo == Tipo::Universal) {
                r.entendido += std::string(", function ") + NomeFuncaoGateway(d[kGuFuncao]);
            }
            if (falha == Falha::IpDiferente) {
                r.bytes = Registro70(estado, Outro(ip, estado.ip), estado.mascara, estado.gateway);
                r.descricao = "record with another IP (new address not taken)";
                return r;
            }
            std::fill(novo.registroGateway.begin(), novo.registroGateway.end(), 0);
            std::copy(d.begin(), d.end(), novo.registroGateway.begin());
            novo.ip = ip;
            novo.mascara = mascara;
            novo.gateway = gateway;
            r.bytes = Registro70(novo, ip, mascara, gateway);
            r.descricao =
                "record in force: " + Enderecos(ip, mascara, gateway) + ", MAC " + Mac(novo.mac);
            return r;
        }

        case Tipo::Nenhum:
            break;
    }
    return r;
}

}  // namespace tvx::sim
