#pragma once
// The bench of the protocol tests: an equipment object of one catalogue model
// whose progress lines go to a queue, linked to a scripted peer on a loopback
// address or to a real pseudo-terminal, and the device replies the tests play.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <initializer_list>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "support/par_tcp.h"
#include "support/pty_teste.h"

namespace tvx::teste {

using namespace std::chrono_literals;

// Serial replies end at the first gap of one read time-out; half a second
// keeps the silent cases short and leaves room on a loaded machine.
inline constexpr int kTempoLeituraSerialMs = 500;

inline std::vector<uint8_t> Bytes(std::string_view texto) {
    return std::vector<uint8_t>(texto.begin(), texto.end());
}

// A text in a zero-filled slot of the given size (the text cut to it).
inline std::vector<uint8_t> Slot(std::string_view texto, size_t tamanho) {
    std::vector<uint8_t> slot(tamanho, 0);
    for (size_t i = 0; i < texto.size() && i < tamanho; ++i) {
        slot[i] = static_cast<uint8_t>(texto[i]);
    }
    return slot;
}

inline std::vector<uint8_t> Juntar(std::initializer_list<std::vector<uint8_t>> partes) {
    std::vector<uint8_t> tudo;
    for (const auto& p : partes) {
        tudo.insert(tudo.end(), p.begin(), p.end());
    }
    return tudo;
}

// An acknowledgement (or a refusal, 0x15) with its byte where the frame kind
// and the medium put it.
inline std::vector<uint8_t> Ack(uint8_t tipoQuadro, bool tcp, bool aceito = true) {
    const uint8_t byte = aceito ? 0x06 : 0x15;
    if (tcp) {
        std::vector<uint8_t> r(12, 0);
        r[tipoQuadro == kQuadroSimples ? 0 : tipoQuadro == kQuadroDleCurto ? 5 : 7] = byte;
        return r;
    }
    if (tipoQuadro == kQuadroDle) {
        std::vector<uint8_t> r = Hex("10 02 01 4C 00 00 00 00 10 03 00 00");
        r[5] = byte;
        return r;
    }
    std::vector<uint8_t> r = Hex("10 02 01 00 10 03 00 00 00 00");
    r[3] = byte;
    return r;
}

// Modbus TCP replies of unit 1.
inline std::vector<uint8_t> EscritaModbusOk(uint16_t registro) {
    return Juntar({Hex("00 00 00 00 00 06 01 10"),
                   {static_cast<uint8_t>(registro >> 8), static_cast<uint8_t>(registro)},
                   Hex("00 01")});
}

inline std::vector<uint8_t> ExcecaoModbus(uint8_t funcao) {
    return {0, 0, 0, 0, 0, 3, 1, static_cast<uint8_t>(funcao | 0x80), 2};
}

inline std::vector<uint8_t> LeituraModbus(const std::vector<uint8_t>& dados) {
    return Juntar({{0, 0, 0, 0, 0, static_cast<uint8_t>(3 + dados.size()), 1, 3,
                    static_cast<uint8_t>(dados.size())},
                   dados});
}

class Bancada {
  public:
    explicit Bancada(uint32_t modelo) {
        e.SetModelo(modelo);
        e.CarregaInfoModelo();
        e.SetMeio(kMeioEsteIp);
        e.SetRtu(1);
        e.janelaProgresso = &fila;
        e.mensagemProgresso = MensagemIncluirProcesso();
    }
    ~Bancada() { e.Desconecta(); }

    // TCP to a loopback peer; replies that never come fail after one second.
    bool ConectarTcp(const std::string& ip) {
        e.SetIpProgramacao(ip);
        if (!e.Conecta(false)) {
            return false;
        }
        e.canal.DefinirTempoEspera(1);
        return true;
    }

    bool ConectarSerial(const PtyTeste& pty) {
        e.SetMeio(kMeioSerial);
        e.PadraoSerial();
        e.SetPorta(pty.CaminhoEscravo());
        if (!e.Conecta(false)) {
            return false;
        }
        e.canal.DefinirTempoEsperaMs(kTempoLeituraSerialMs);
        return true;
    }

    bool TcpAberto() const { return e.canal.Socket() && e.canal.Socket()->IsValid(); }
    std::vector<std::string> Linhas() const { return fila.Textos(); }

    void Marcar(std::initializer_list<uint8_t> ids) {
        for (auto& passo : e.infoModelo.passos) {
            for (uint8_t id : ids) {
                if (passo.id == id) {
                    passo.marcado = 1;
                }
            }
        }
    }

    FilaProgresso fila;
    cEquipamento e;
};

// Runs a protocol routine on its own thread while the test plays the device
// on the pseudo-terminal.
template <class F>
auto EmParalelo(F&& f) {
    return std::async(std::launch::async, std::forward<F>(f));
}

// Plays one exchange: waits for a request of the given size, answers it.
inline std::vector<uint8_t> Atender(PtyTeste& pty, size_t tamanhoPedido,
                                    const std::vector<uint8_t>& resposta) {
    std::vector<uint8_t> pedido = pty.Ler(tamanhoPedido, 5s);
    if (!resposta.empty()) {
        pty.Escrever(resposta);
    }
    return pedido;
}

}  // namespace tvx::teste
