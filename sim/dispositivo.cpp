#include "sim/dispositivo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/catalogo.h"
#include "transport/serial.h"

namespace tvx::sim {

namespace {

// The program reads the text into a 280-byte buffer from byte 5 (TCP) and
// makes byte 279 a zero: the text and its own zero must end before that.
constexpr size_t kMaiorTextoLeitura = 270;

uint32_t Ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
           static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
}

// Stored texts arrive as any bytes; the report shows control bytes as '?'
// (which also keeps DLE out of the framed reply).
std::string Imprimivel(const std::string& bytes) {
    std::string texto = bytes;
    for (char& c : texto) {
        if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return texto;
}

}  // namespace

std::string IpCompacto(uint32_t ip) {
    char t[20];
    std::snprintf(t, sizeof t, "%u.%u.%u.%u", ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF,
                  ip >> 24);
    return t;
}

std::string Mac(const std::array<uint8_t, 6>& mac) {
    char t[20];
    std::snprintf(t, sizeof t, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return t;
}

std::optional<uint32_t> LerIpCampo(const uint8_t* campo, size_t tamanho) {
    const uint8_t* fim = std::find(campo, campo + tamanho, 0);
    std::array<uint32_t, 4> octetos{};
    size_t octeto = 0;
    size_t digitos = 0;
    for (const uint8_t* p = campo; p < fim; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (++digitos > 3) {
                return std::nullopt;
            }
            octetos[octeto] = octetos[octeto] * 10 + static_cast<uint32_t>(*p - '0');
        } else if (*p == '.' && digitos > 0 && octeto < 3) {
            ++octeto;
            digitos = 0;
        } else {
            return std::nullopt;
        }
    }
    if (octeto != 3 || digitos == 0) {
        return std::nullopt;
    }
    for (uint32_t o : octetos) {
        if (o > 255) {
            return std::nullopt;
        }
    }
    return Ip(static_cast<uint8_t>(octetos[0]), static_cast<uint8_t>(octetos[1]),
              static_cast<uint8_t>(octetos[2]), static_cast<uint8_t>(octetos[3]));
}

std::string Latin1Visivel(const std::string& bytes) {
    std::string texto;
    for (char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 0x20 || b == 0x7F) {
            texto += '.';
        } else if (b < 0x80) {
            texto += c;
        } else {
            texto += static_cast<char>(0xC0 | b >> 6);
            texto += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return texto;
}

std::string TextoDoBloco(const uint8_t* campo, size_t tamanho) {
    const uint8_t* fim = std::find(campo, campo + tamanho, 0);
    return std::string(reinterpret_cast<const char*>(campo), static_cast<size_t>(fim - campo));
}

uint32_t VelocidadeDoPassoRtu(uint8_t codigo) {
    if (codigo == 96) {
        return 9600;
    }
    if (codigo == 38) {
        return 38400;
    }
    return codigo <= 15 ? VelocidadePorIndice(codigo) : 0;
}

EstadoEquipamento EstadoInicial(uint32_t modelo) {
    EstadoEquipamento estado;
    estado.ip = Ip(192, 168, 0, 101);
    estado.mascara = Ip(255, 255, 255, 0);
    estado.gateway = 0;
    estado.mac = {0x02, 0xB4, 0x6D, 0x00, static_cast<uint8_t>(modelo), 0x65};
    estado.rtu = 1;
    estado.velocidade = kIndiceVelocidade38400;
    estado.tempoReconexao = 5;
    estado.medicoes = {4.125f, 1.75f, 127.25f, 0.5f, 125.125f, 31.5f, 29.75f};
    if (PerfilDoModelo(modelo).familia == kFamiliaGatewayUniversal) {
        // Out of the box the universal gateway serves a PC at 9600 baud.
        estado.registroGateway[18] = 3;
        estado.registroGateway[19] = 0xFF;
    }
    return estado;
}

Dispositivo::Dispositivo(uint32_t modelo)
    : perfil_(PerfilDoModelo(modelo)), dialeto_(DialetoDaFamilia(perfil_.familia)) {}

bool Dispositivo::BlocoDeEnderecos(const Pedido& pedido) {
    if (pedido.tipo != TipoPedido::Bloco || pedido.dados.size() < 4) {
        return false;
    }
    return std::memcmp(pedido.dados.data(), "LER=", 4) != 0 &&
           std::memcmp(pedido.dados.data(), "MAC=", 4) != 0;
}

Resposta Dispositivo::Atender(const Pedido& pedido, Meio meio, const EstadoEquipamento& estado,
                              Falha falha) const {
    switch (pedido.tipo) {
        case TipoPedido::ComandoSimples:
        case TipoPedido::ComandoDle:
            return AtenderComando(pedido, meio, estado, falha == Falha::Recusar);
        case TipoPedido::Bloco:
            return AtenderBloco(pedido, estado, falha);
        case TipoPedido::ModbusTcp:
        case TipoPedido::ModbusRtu:
            return AtenderModbus(pedido, meio, estado, falha);
        case TipoPedido::Invalido:
            break;
    }
    Resposta resposta;
    resposta.estado = estado;
    resposta.entendido = "not a request: " + pedido.defeito;
    resposta.descricao = "no reply";
    return resposta;
}

std::string Dispositivo::TextoLeitura(const EstadoEquipamento& estado) const {
    std::vector<std::string> linhas;
    char t[96];
    linhas.push_back(perfil_.nome);
    linhas.push_back("IP: " + IpCompacto(estado.ip));
    linhas.push_back("Mask: " + IpCompacto(estado.mascara));
    linhas.push_back("Gateway: " + IpCompacto(estado.gateway));
    linhas.push_back("MAC: " + Mac(estado.mac));
    linhas.push_back("RTU: " + std::to_string(estado.rtu));
    if (perfil_.TemPasso(kPassoRtuVelocidade)) {
        linhas.push_back("Velocidade: " + std::to_string(VelocidadeDoPassoRtu(estado.velocidade)));
    }
    if (perfil_.TemPasso(kPassoTelemetria)) {
        linhas.push_back("Operadora: " + std::to_string(estado.operadora));
        linhas.push_back("ID: " + Imprimivel(estado.idTelemetria));
    }
    if (perfil_.TemPasso(kPassoUrl)) {
        linhas.push_back("URL: " + Imprimivel(estado.url));
    }
    if (perfil_.TemPasso(kPassoReconexao)) {
        linhas.push_back("Reconex\xE3o: " + std::to_string(estado.tempoReconexao) + " min");
    }
    if (perfil_.TemPasso(kPassoRelogio) && estado.relogio[1] != 0) {
        const auto& r = estado.relogio;
        std::snprintf(t, sizeof t, "Rel\xF3gio: %02u/%02u/%02u %02u:%02u:%02u", r[0], r[1], r[2],
                      r[3], r[4], r[5]);
        linhas.push_back(t);
    }
    if (perfil_.TemPasso(kPassoMemoriaMassa) && estado.memoriaMassaZerada) {
        linhas.push_back("Mem\xF3ria de massa: zerada");
    }
    if (perfil_.TemPasso(kPassoCamposMemoria) && !estado.camposMemoria.empty()) {
        linhas.push_back("Campos de mem\xF3ria: " +
                         std::string(estado.camposMemoria[1] == 0x20 ? "ION" : "REP"));
    }
    // A line that would not fit in the program's buffer is left out whole.
    std::string texto;
    for (const std::string& linha : linhas) {
        if (texto.size() + linha.size() + 2 <= kMaiorTextoLeitura) {
            texto += linha + "\r\n";
        }
    }
    return texto;
}

}  // namespace tvx::sim
