#pragma once
// Bench for the end-to-end runs: one equipment object, its worker and the
// queue that plays the programming page, inside an isolated network where the
// simulator stands in for the device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/equipamento.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"

namespace tvx::teste {

using namespace std::chrono_literals;

// Lines every run posts, as the runs post them.
inline constexpr const char* kIniciada = "Programação iniciada...";
inline constexpr const char* kVerificando =
    "Verificando se o IP de programação está presente na rede...";
inline constexpr const char* kConectando = "Conectando no equipamento...";
inline constexpr const char* kEnviandoIp = "Enviando programação de IP...";
inline constexpr const char* kLeituraIniciada = "Leitura iniciada...";
inline constexpr const char* kReconectando = "Reconectando no equipamento...";
inline constexpr const char* kFinalizada = "Programação finalizada.";
inline constexpr const char* kIpOk = "Programação de IP OK.";
inline constexpr const char* kReiniciado = "Equipamento reiniciado.Aguardando retorno do reset..";
using RelogioTeste = std::chrono::steady_clock;
using Linhas = std::vector<std::string>;

inline constexpr const char* kBanner = "TVXNetCfg - v19.1.3";
inline constexpr const char* kIpNovoMudo = "10.0.0.50";  // routed into nothing until assigned
inline constexpr const char* kMascaraNova = "255.255.255.0";
inline constexpr const char* kGatewayNovo = "10.0.0.1";
inline constexpr const char* kFalhaEco = "Ping falhou: 11010";

struct LinhaRecebida {
    std::string texto;
    bool fixo = false;
    RelogioTeste::time_point quando;
};

// In an expected sequence: the answer line of one 32-byte echo from ip.
inline std::string Eco(const std::string& ip) {
    return "<eco " + ip + ">";
}

// Without std::regex: the cases of a table run side by side, and compiling a
// regex on several threads at once races inside libstdc++'s locale cache.
inline bool LinhaConfere(const std::string& esperada, const std::string& recebida) {
    if (esperada.rfind("<eco ", 0) == 0 && esperada.back() == '>') {
        const std::string inicio =
            "Ping recebido de " + esperada.substr(5, esperada.size() - 6) + " ,Status=0 ,Tempo:";
        const std::string fim = " ms ,Bytes:32";
        if (recebida.size() <= inicio.size() + fim.size() || recebida.rfind(inicio, 0) != 0 ||
            recebida.compare(recebida.size() - fim.size(), fim.size(), fim) != 0) {
            return false;
        }
        const std::string tempo =
            recebida.substr(inicio.size(), recebida.size() - inicio.size() - fim.size());
        return std::all_of(tempo.begin(), tempo.end(), [](char c) { return c >= '0' && c <= '9'; });
    }
    return esperada == recebida;
}

inline std::string Visivel(const std::string& texto) {
    std::string s;
    for (char c : texto) {
        if (c == '\r') {
            s += "\\r";
        } else if (c == '\n') {
            s += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            s += std::string("\\x") + kHex[c >> 4] + kHex[c & 0x0F];
        } else {
            s += c;
        }
    }
    return s;
}

inline std::vector<std::string> Textos(const std::vector<LinhaRecebida>& linhas) {
    std::vector<std::string> t;
    for (const auto& l : linhas) {
        t.push_back(l.texto);
    }
    return t;
}

// Compares line by line and shows both sequences on any difference.
inline ::testing::AssertionResult SequenciaIgual(const std::vector<std::string>& esperadas,
                                                 const std::vector<LinhaRecebida>& linhas) {
    bool igual = esperadas.size() == linhas.size();
    for (size_t i = 0; igual && i < esperadas.size(); ++i) {
        igual = LinhaConfere(esperadas[i], linhas[i].texto);
    }
    if (igual) {
        return ::testing::AssertionSuccess();
    }
    std::ostringstream s;
    const size_t n = std::max(esperadas.size(), linhas.size());
    for (size_t i = 0; i < n; ++i) {
        const std::string e = i < esperadas.size() ? Visivel(esperadas[i]) : "(none)";
        const std::string r = i < linhas.size() ? Visivel(linhas[i].texto) : "(none)";
        const bool ok = i < esperadas.size() && i < linhas.size() &&
                        LinhaConfere(esperadas[i], linhas[i].texto);
        s << (ok ? "   " : "!! ") << i << ": expected [" << e << "] got [" << r << "]\n";
    }
    return ::testing::AssertionFailure() << "\n" << s.str();
}

class Bancada {
  public:
    cEquipamento eq;
    FilaProgresso fila;
    cThreadProgramar trabalhador{eq};

    // Inside an isolated network the device sits at the factory address and
    // the new address answers nothing until a test assigns it; anywhere else
    // both addresses are loopback ones, so that no run can reach a real network.
    explicit Bancada(RedeIsolada* rede = nullptr) {
        trabalhador.janela = &fila;
        eq.SetIpProgramacao(rede ? kIpFabrica : "127.0.0.1");
        eq.SetIpNovo(rede ? kIpNovoMudo : "127.0.0.2");
        eq.SetMascaraNova(kMascaraNova);
        eq.SetGatewayNovo(kGatewayNovo);
        eq.SetRtu(1);
    }

    void Modelo(uint32_t modelo, uint32_t meio = kMeioIpPadrao) {
        eq.SetModelo(modelo);
        ASSERT_TRUE(eq.CarregaInfoModelo());
        eq.SetMeio(meio);
    }

    // Ticks the slot that holds this extra step.
    void Marcar(uint8_t passo) {
        for (PassoModelo& p : eq.infoModelo.passos) {
            if (p.id == passo) {
                p.marcado = 1;
                return;
            }
        }
        ADD_FAILURE() << "the model has no step " << int(passo);
    }

    // Runs one action on the worker, hands each line to aoChegar as it
    // arrives, and returns every line once the run has ended.
    std::vector<LinhaRecebida> Executar(
        uint32_t acao, const std::function<void(const LinhaRecebida&)>& aoChegar = {},
        std::chrono::seconds limite = 60s) {
        std::vector<LinhaRecebida> linhas;
        trabalhador.acao = acao;
        if (!trabalhador.Inicia()) {
            ADD_FAILURE() << "the worker did not start";
            return linhas;
        }
        const auto fim = RelogioTeste::now() + limite;
        auto receber = [&](std::chrono::milliseconds espera) {
            auto linha = fila.Retirar(espera);
            if (!linha) {
                return false;
            }
            linhas.push_back({linha->texto, linha->fixo, RelogioTeste::now()});
            if (aoChegar) {
                aoChegar(linhas.back());
            }
            return true;
        };
        while (trabalhador.EmExecucao(0)) {
            if (RelogioTeste::now() > fim) {
                ADD_FAILURE() << "the run did not end within " << limite.count() << " s";
                trabalhador.Para();
                break;
            }
            receber(10ms);
        }
        while (receber(20ms)) {
        }
        return linhas;
    }
};

// The configuration text the simulated device answers to 'L' 31, as the
// read routine hands it on (UTF-8).
inline std::string TextoConfiguracao(const std::string& nome, const std::string& ip,
                                     const std::string& mascara, const std::string& gateway,
                                     uint32_t modelo, const std::vector<std::string>& extras = {}) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "02:B4:6D:00:%02X:65", static_cast<unsigned>(modelo));
    std::string texto = nome + "\r\nIP: " + ip + "\r\nMask: " + mascara +
                        "\r\nGateway: " + gateway + "\r\nMAC: " + mac + "\r\nRTU: 1\r\n";
    for (const std::string& linha : extras) {
        texto += linha + "\r\n";
    }
    return texto;
}

// The family-21 read text: the programming part and the measurements.
inline std::string TextoRegistros(const std::string& ip, uint16_t entradas, uint16_t saidas) {
    std::string t = "\r\nProgramação ativa:\r\n";
    for (int i = 1; i <= 16; ++i) {
        t += "E" + std::to_string(i) + ":Ativa em:" + ((entradas >> (i - 1) & 1) ? "1" : "0") +
             "\r\n";
    }
    for (int i = 1; i <= 4; ++i) {
        t += "Saída " + std::to_string(i) + ":" +
             ((saidas >> (i - 1) & 1) ? "(1) Biestável" : "(0) Monoestável") + "\r\n";
    }
    t += "IP:" + ip;
    t += "\r\nMedição:\r\nIACS:4.125\r\nIDC:1.750\r\nVFN:127.250\r\nVNT:0.500\r\n"
         "VDC:125.125\r\nTEMP1:31.500\r\nTEMP2:29.750\r\n";
    return t;
}

// A family-21 programming run of the digital-input step alone, without the
// "Alterar IP?" tick (the new address is neither pinged nor sent), read back
// with the inputs 0x00F0 the step wrote.
inline std::vector<std::string> ProgramacaoEntradasSemIp() {
    return {kBanner,
            kIniciada,
            kVerificando,
            Eco(kIpFabrica),
            kConectando,
            "Enviando programação de Entrada Digital...",
            "OK.",
            kReconectando,
            kFinalizada,
            kLeituraIniciada,
            Eco(kIpFabrica),
            "INFORMAÇÃO EXTRA",
            TextoRegistros("192.168.000.101", 0x00F0, 3),
            "Leitura finalizada."};
}

// What a read run puts in front of the addresses of a model with DIP switches.
inline std::string AvisoDip() {
    const std::string asteriscos(59, '*');
    return "\r\n" + asteriscos +
           "\r\nAs informações são válidas somente se o equipamento\r\nnão está em modo de "
           "PROGRAMAÇÃO DE IP pela DIP!!\r\n" +
           asteriscos + "\r\n";
}

// The closing lines of a read run that showed the addresses it read.
inline std::vector<std::string> FimLeitura(const std::string& ip, const std::string& mascara,
                                           const std::string& gateway, const std::string& texto,
                                           const std::string& aviso = "") {
    return {aviso + "IP:" + ip,   "MASK:" + mascara, "GW:" + gateway, "INFORMAÇÃO EXTRA", texto,
            "Leitura finalizada."};
}

inline std::vector<std::string> operator+(std::vector<std::string> a,
                                          const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The countdown after a restart.
inline std::vector<std::string> Contagem() {
    std::vector<std::string> linhas;
    for (int n = 10; n >= 1; --n) {
        linhas.push_back(std::to_string(n) + "s...");
    }
    return linhas;
}

// The usual isolated network: the device at the factory address, and the
// networks of the other addresses routed into nothing.
inline void PrepararRede(RedeIsolada& rede) {
    ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
    ASSERT_TRUE(rede.AdicionarRedeMuda("10.0.0.0/24"));
}

}  // namespace tvx::teste
