#pragma once
// The bench of the protocol tests: an equipment object of one catalogue model
// whose progress lines go to a queue, linked to a scripted peer on a loopback
// address or to a real pseudo-terminal; and the runner of a table of cases,
// each one routine with every exchange the device sees and answers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx::teste {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

inline Bytes Texto(std::string_view texto) {
    return Bytes(texto.begin(), texto.end());
}

// A text in a zero-filled slot of the given size (the text cut to it).
inline Bytes Slot(std::string_view texto, size_t tamanho) {
    Bytes slot = Texto(texto.substr(0, std::min(texto.size(), tamanho)));
    slot.resize(tamanho, 0);
    return slot;
}

inline Bytes Juntar(std::initializer_list<Bytes> partes) {
    Bytes tudo;
    for (const auto& p : partes) {
        tudo.insert(tudo.end(), p.begin(), p.end());
    }
    return tudo;
}

// An acknowledgement (or a refusal, 0x15) with its byte where the frame kind
// and the medium put it.
inline Bytes Ack(uint8_t tipoQuadro, bool tcp, bool aceito = true) {
    Bytes r = tcp ? Bytes(12, 0)
                  : Hex(tipoQuadro == kQuadroDle ? "10 02 01 4C 00 00 00 00 10 03 00 00"
                                                 : "10 02 01 00 10 03 00 00 00 00");
    const int posicao = !tcp                            ? (tipoQuadro == kQuadroDle ? 5 : 3)
                        : tipoQuadro == kQuadroSimples  ? 0
                        : tipoQuadro == kQuadroDleCurto ? 5
                                                        : 7;
    r[posicao] = aceito ? 0x06 : 0x15;
    return r;
}

inline Bytes ExcecaoModbus(uint8_t funcao) {
    return {0, 0, 0, 0, 0, 3, 1, static_cast<uint8_t>(funcao | 0x80), 2};
}

inline Bytes LeituraModbus(const Bytes& dados) {
    const auto n = static_cast<uint8_t>(dados.size());
    return Juntar({{0, 0, 0, 0, 0, static_cast<uint8_t>(3 + n), 1, 3, n}, dados});
}

struct Bancada {
    explicit Bancada(uint32_t modelo) {
        e.SetModelo(modelo);
        e.CarregaInfoModelo();
        e.SetMeio(kMeioEsteIp);
        e.SetRtu(1);
        e.SetIpNovo("10.0.0.5");
        e.SetMascaraNova("255.255.255.0");
        e.SetGatewayNovo("10.0.0.1");
        e.janelaProgresso = &fila;
        e.mensagemProgresso = MensagemIncluirProcesso();
    }
    ~Bancada() { e.Desconecta(); }
    void Marcar(std::initializer_list<uint8_t> ids) {
        for (auto& passo : e.infoModelo.passos) {
            for (uint8_t id : ids) {
                passo.marcado |= passo.id == id;
            }
        }
    }
    bool TcpAberto() const { return e.canal.Socket() && e.canal.Socket()->IsValid(); }
    std::string Lidos() const {
        return e.GetIpLido() + " " + e.GetMascaraLida() + " " + e.GetGatewayLido();
    }

    FilaProgresso fila;
    cEquipamento e;
};

enum class Rotina { ProgramarIp, Ler, Passos, Reset };
enum class Meio { Tcp, Serial, Nenhum };

// One exchange: the request the device receives (hex; over TCP a final "*"
// leaves the rest of it unchecked) and its reply (empty: silence).
struct Troca {
    std::string pedido;
    Bytes resposta;
};

struct Caso {
    const char* nome;
    uint32_t modelo;
    Meio meio;
    std::vector<Troca> trocas;
    bool ok;
    // ProgramarIp and Ler: the result text, which starts as "antes". Passos:
    // the progress lines, each followed by '|', then "reconectar" when asked.
    std::string resultado;
    std::string lidos = "";  // address, mask and gateway read back; "" when not checked
    std::function<void(Bancada&)> preparar = {};  // once the link is up
    std::function<void(Bancada&)> conferir = {};
};

inline bool Chamar(Rotina rotina, Bancada& b, std::string& resultado) {
    switch (rotina) {
        case Rotina::ProgramarIp:
            return b.e.ProgramarIp(resultado);
        case Rotina::Ler:
            return b.e.LerConfiguracao(resultado);
        case Rotina::Reset:
            return b.e.EnviaReset();
        case Rotina::Passos:
            break;
    }
    bool reconectar = false;
    const bool ok = b.e.ProgramacaoEstendida(reconectar);
    resultado.clear();
    for (const std::string& linha : b.fila.Textos()) {
        resultado += linha + "|";
    }
    resultado += reconectar ? "reconectar" : "";
    return ok;
}

// Serial replies end at the first gap of one read time-out; half a second
// keeps the silent cases short and leaves room on a loaded machine. A TCP
// reply that never comes fails after one second.
inline void Rodar(Rotina rotina, const std::vector<Caso>& casos) {
    for (size_t i = 0; i < casos.size(); ++i) {
        const Caso& c = casos[i];
        SCOPED_TRACE(c.nome);
        Bancada b(c.modelo);
        std::string pedidos;
        for (const Troca& t : c.trocas) {
            pedidos += (pedidos.empty() || t.pedido.empty() ? "" : " ") + t.pedido;
        }
        std::string resultado = "antes";
        bool ok = false;
        if (c.meio == Meio::Tcp) {
            const std::string ip =
                "127.6." + std::to_string(static_cast<int>(rotina)) + "." + std::to_string(i + 1);
            ParTcp par(ip, static_cast<uint16_t>(b.e.PortaTcp()));
            for (const Troca& t : c.trocas) {
                t.resposta.empty() ? par.Calar() : par.Responder(t.resposta);
            }
            b.e.SetIpProgramacao(ip);
            ASSERT_TRUE(b.e.Conecta(false));
            b.e.canal.DefinirTempoEspera(1);
            if (c.preparar) {
                c.preparar(b);
            }
            ok = Chamar(rotina, b, resultado);
            const bool prefixo = !pedidos.empty() && pedidos.back() == '*';
            if (prefixo) {
                pedidos.resize(pedidos.size() - 2);
            }
            const std::string recebido = ParaHex(par.Recebido(Hex(pedidos).size() + 1, 100ms));
            EXPECT_EQ(pedidos, prefixo ? recebido.substr(0, pedidos.size()) : recebido);
        } else if (c.meio == Meio::Serial) {
            PtyTeste pty;
            b.e.SetMeio(kMeioSerial);
            b.e.PadraoSerial();
            b.e.SetPorta(pty.CaminhoEscravo());
            ASSERT_TRUE(b.e.Conecta(false));
            b.e.canal.DefinirTempoEsperaMs(500);
            if (c.preparar) {
                c.preparar(b);
            }
            auto rodando =
                std::async(std::launch::async, [&] { return Chamar(rotina, b, resultado); });
            for (const Troca& t : c.trocas) {
                EXPECT_EQ(t.pedido, ParaHex(pty.Ler(Hex(t.pedido).size(), 5s)));
                if (!t.resposta.empty()) {
                    pty.Escrever(t.resposta);
                }
            }
            ok = rodando.get();
            EXPECT_TRUE(pty.Ler(1, 100ms).empty());
        } else {
            if (c.preparar) {
                c.preparar(b);
            }
            ok = Chamar(rotina, b, resultado);
        }
        EXPECT_EQ(c.ok, ok);
        EXPECT_EQ(c.resultado, resultado);
        if (!c.lidos.empty()) {
            EXPECT_EQ(c.lidos, b.Lidos());
        }
        if (c.conferir) {
            c.conferir(b);
        }
    }
}

}  // namespace tvx::teste
