// tvxnetcfg-sim: one simulated piece of equipment on a loopback TCP port or a
// pseudo-terminal, printing every exchange as it happens.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "core/catalogo.h"
#include "sim/dispositivo.h"
#include "sim/falhas.h"
#include "sim/simulador.h"

using namespace tvx::sim;

namespace {

constexpr const char* kAjuda =
    R"(Usage: tvxnetcfg-sim --model N [options]

Stands in for one piece of TVX field equipment of catalogue model N (1..34)
and answers the TVXNetCfg program over the real wire protocol: framed 'L' and
'P' commands, the unframed address blocks of the gateways, or Modbus. It
keeps what it is programmed with, prints every exchange (direction, bytes,
what it understood) and can be told to misbehave.

Medium:
  --model N              catalogue model, 1..34 (required)
  --address A            listen on address A (default 127.0.0.1). Only
                         127.0.0.0/8 is accepted unless --allow-any-address
  --port P               TCP port (default: the model's, 5003; 5006 for
                         models 6 and 17; 5007 for model 7; 502 for model 30)
  --serial               serve a pseudo-terminal instead of TCP; its path is
                         printed: give it to the program as the serial port
  --allow-any-address    allow an address outside 127.0.0.0/8. Only for use
                         inside an isolated network namespace (unshare -n)

Initial state (default: a factory-fresh device at the listening address, or
192.168.0.101 on serial; mask 255.255.255.0; gateway 0.0.0.0):
  --ip A --mask M --gateway G
  --rtu N                RTU address it reports (default 1)
  --mac XX:XX:XX:XX:XX:XX  (default 02:B4:6D:00:<model>:65)

Faults:
  --fault F[:TARGET]     F is one of
                           refuse     NAK (0x15) where the 0x06 goes; blocks:
                                      a block of the right length starting
                                      with NAK bytes; Modbus: exception 4
                           silent     receive, answer nothing
                           close      send the reply up to its 0x06 (or its
                                      first few bytes), then close
                           short      send the reply up to its 0x06 (or its
                                      first 4 bytes)
                           garbage    send A5 5A A5 5A ... instead
                           exception  Modbus exception 2
                           wrong-ip   echo another IP for an address block
                           oversize   pad the reply to 3000 bytes
                           vanish     serial: close the line; TCP: drop the
                                      connection without a reply
                         TARGET limits it to one request: L22, P1 (command and
                         subcommand), 1280 (first Modbus register) or raw
                         (unframed blocks). Without it every request fails.
  --fault-count N        only the next N matching requests fail (default: all)

Signals: SIGINT or SIGTERM stop it; SIGUSR1 power-cycles it (programmed
addresses waiting for a restart take effect, connections drop).

Example:
  tvxnetcfg-sim --model 3 --address 127.0.0.2
  then, in TVXNetCfg: model TVX5150S, "Este IP" 127.0.0.2, Programar.
)";

std::mutex saida;

void Falhar(const std::string& texto) {
    std::fprintf(stderr, "tvxnetcfg-sim: %s (try --help)\n", texto.c_str());
    std::exit(2);
}

bool LerIp(const char* texto, uint32_t& ip) {
    in_addr a{};
    if (inet_pton(AF_INET, texto, &a) != 1) {
        return false;
    }
    uint8_t b[4];
    std::memcpy(b, &a, 4);
    ip = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool LerNumero(const char* texto, long minimo, long maximo, long& valor) {
    char* fim = nullptr;
    valor = std::strtol(texto, &fim, 10);
    return fim && *fim == '\0' && fim != texto && valor >= minimo && valor <= maximo;
}

bool LerMac(const char* texto, std::array<uint8_t, 6>& mac) {
    unsigned v[6];
    char resto;
    if (std::sscanf(texto, "%2x:%2x:%2x:%2x:%2x:%2x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &resto) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        mac[i] = static_cast<uint8_t>(v[i]);
    }
    return true;
}

std::string Hora() {
    timespec agora{};
    clock_gettime(CLOCK_REALTIME, &agora);
    tm local{};
    localtime_r(&agora.tv_sec, &local);
    char t[32];
    std::snprintf(t, sizeof t, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                  agora.tv_nsec / 1000000);
    return t;
}

void Imprimir(const Troca& troca) {
    constexpr size_t kMaximoHex = 96;
    constexpr size_t kPorLinha = 24;
    const std::string recuo(13, ' ');
    std::string hex;
    char par[4];
    for (size_t i = 0; i < troca.bytes.size() && i < kMaximoHex; ++i) {
        if (i > 0 && i % kPorLinha == 0) {
            hex += "\n" + recuo + "   ";
        }
        std::snprintf(par, sizeof par, i % kPorLinha ? " %02X" : "%02X", troca.bytes[i]);
        hex += par;
    }
    if (troca.bytes.size() > kMaximoHex) {
        hex += " ... (+" + std::to_string(troca.bytes.size() - kMaximoHex) + ")";
    }
    std::lock_guard<std::mutex> trava(saida);
    std::printf("%s %s %zu bytes\n%s   %s\n%s%s\n", Hora().c_str(), troca.recebido ? "<-" : "->",
                troca.bytes.size(), recuo.c_str(), hex.c_str(), recuo.c_str(),
                troca.descricao.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    long modelo = -1;
    std::string endereco = "127.0.0.1";
    long porta = 0;
    bool serial = false;
    bool qualquerEndereco = false;
    Falha falha = Falha::Nenhuma;
    AlvoFalha alvo;
    long ocorrencias = -1;
    std::optional<uint32_t> ip, mascara, gateway;
    std::optional<long> rtu;
    std::optional<std::array<uint8_t, 6>> mac;

    for (int i = 1; i < argc; ++i) {
        const std::string opcao = argv[i];
        const auto valor = [&]() -> const char* {
            if (i + 1 >= argc) {
                Falhar(opcao + " needs a value");
            }
            return argv[++i];
        };
        uint32_t endereco32 = 0;
        long numero = 0;
        if (opcao == "--help" || opcao == "-h") {
            std::fputs(kAjuda, stdout);
            return 0;
        } else if (opcao == "--model") {
            if (!LerNumero(valor(), 1, static_cast<long>(tvx::kQuantidadeModelos) - 1, modelo)) {
                Falhar("--model takes a catalogue row, 1..34");
            }
        } else if (opcao == "--address") {
            endereco = valor();
        } else if (opcao == "--port") {
            if (!LerNumero(valor(), 1, 65535, porta)) {
                Falhar("--port takes 1..65535");
            }
        } else if (opcao == "--serial") {
            serial = true;
        } else if (opcao == "--allow-any-address") {
            qualquerEndereco = true;
        } else if (opcao == "--ip" || opcao == "--mask" || opcao == "--gateway") {
            if (!LerIp(valor(), endereco32)) {
                Falhar(opcao + " takes a dotted IPv4 address");
            }
            (opcao == "--ip" ? ip : opcao == "--mask" ? mascara : gateway) = endereco32;
        } else if (opcao == "--rtu") {
            if (!LerNumero(valor(), 0, 255, numero)) {
                Falhar("--rtu takes 0..255");
            }
            rtu = numero;
        } else if (opcao == "--mac") {
            std::array<uint8_t, 6> m{};
            if (!LerMac(valor(), m)) {
                Falhar("--mac takes XX:XX:XX:XX:XX:XX");
            }
            mac = m;
        } else if (opcao == "--fault") {
            const std::string texto = valor();
            const size_t dois = texto.find(':');
            if (!FalhaDoNome(texto.substr(0, dois), falha) ||
                !AlvoDoTexto(dois == std::string::npos ? "" : texto.substr(dois + 1), alvo)) {
                Falhar("unknown fault \"" + texto + "\"");
            }
        } else if (opcao == "--fault-count") {
            if (!LerNumero(valor(), 1, 1000000, ocorrencias)) {
                Falhar("--fault-count takes a positive number");
            }
        } else {
            Falhar("unknown option " + opcao);
        }
    }
    if (modelo < 1) {
        Falhar("--model is required");
    }
    const auto m = static_cast<uint32_t>(modelo);
    const Perfil perfil = PerfilDoModelo(m);

    uint32_t escuta = 0;
    if (!serial) {
        if (!LerIp(endereco.c_str(), escuta)) {
            Falhar("--address takes a dotted IPv4 address");
        }
        if ((escuta & 0xFF) != 127) {
            if (!qualquerEndereco) {
                Falhar("refusing to listen on " + endereco +
                       ": only 127.0.0.0/8 unless --allow-any-address");
            }
            std::fprintf(stderr,
                         "tvxnetcfg-sim: warning: listening on %s, outside 127.0.0.0/8. Do this "
                         "only inside an isolated network namespace (unshare -n).\n",
                         endereco.c_str());
        }
    }

    EstadoEquipamento estado = EstadoInicial(m);
    if (!serial) {
        estado.ip = escuta;
    }
    estado.ip = ip.value_or(estado.ip);
    estado.mascara = mascara.value_or(estado.mascara);
    estado.gateway = gateway.value_or(estado.gateway);
    if (rtu) {
        estado.rtu = static_cast<uint8_t>(*rtu);
    }
    if (mac) {
        estado.mac = *mac;
    }
    alvo.ocorrencias = static_cast<int>(ocorrencias);

    // The servers' threads inherit this mask: the signals come to sigwait.
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGINT);
    sigaddset(&sinais, SIGTERM);
    sigaddset(&sinais, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);

    Simulador simulador(m);
    simulador.DefinirEstado(estado);
    simulador.DefinirFalha(falha, alvo);
    simulador.AoTrocar(Imprimir);

    std::printf("%s (model %u, family %u)\n", perfil.nome.c_str(), m, perfil.familia);
    if (serial) {
        const std::string caminho = simulador.IniciarSerial();
        if (caminho.empty()) {
            std::fprintf(stderr, "tvxnetcfg-sim: cannot open a pseudo-terminal: %s\n",
                         std::strerror(errno));
            return 1;
        }
        std::printf("serial line: %s  (give this path to the program as its serial port)\n",
                    caminho.c_str());
    } else {
        if (!simulador.IniciarTcp(endereco, static_cast<uint16_t>(porta))) {
            std::fprintf(stderr, "tvxnetcfg-sim: cannot listen on %s:%ld: %s\n", endereco.c_str(),
                         porta ? porta : static_cast<long>(PortaDoModelo(m)), std::strerror(errno));
            return 1;
        }
        std::printf("listening on %s:%u\n", endereco.c_str(), simulador.PortaTcp());
    }
    std::printf("IP %s, mask %s, gateway %s, MAC %s, RTU %u\n", IpCompacto(estado.ip).c_str(),
                IpCompacto(estado.mascara).c_str(), IpCompacto(estado.gateway).c_str(),
                Mac(estado.mac).c_str(), estado.rtu);
    if (falha != Falha::Nenhuma) {
        std::printf("fault: %s%s\n", NomeFalha(falha),
                    ocorrencias > 0 ? (" (next " + std::to_string(ocorrencias) + ")").c_str() : "");
    }
    std::printf("Ctrl-C stops; kill -USR1 %d power-cycles.\n", static_cast<int>(getpid()));
    std::fflush(stdout);

    for (;;) {
        int sinal = 0;
        if (sigwait(&sinais, &sinal) != 0) {
            continue;
        }
        if (sinal == SIGUSR1) {
            simulador.Reiniciar();
            const EstadoEquipamento e = simulador.Estado();
            std::lock_guard<std::mutex> trava(saida);
            std::printf("%s power-cycled: IP %s, mask %s, gateway %s\n", Hora().c_str(),
                        IpCompacto(e.ip).c_str(), IpCompacto(e.mascara).c_str(),
                        IpCompacto(e.gateway).c_str());
            std::fflush(stdout);
            continue;
        }
        break;
    }
    simulador.Parar();
    std::printf("stopped after %zu requests\n", simulador.Pedidos());
    return 0;
}
