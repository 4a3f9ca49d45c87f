#include "sim/falhas.h"

#include <algorithm>
#include <cstdlib>

namespace tvx::sim {

namespace {

bool EhComando(const Pedido& p) {
    return p.tipo == TipoPedido::ComandoSimples || p.tipo == TipoPedido::ComandoDle;
}

bool EhModbus(const Pedido& p) {
    return p.tipo == TipoPedido::ModbusTcp || p.tipo == TipoPedido::ModbusRtu;
}

struct NomeDeFalha {
    Falha falha;
    const char* nome;
};

constexpr NomeDeFalha kNomes[] = {
    {Falha::Nenhuma, "none"},
    {Falha::Recusar, "refuse"},
    {Falha::Calar, "silent"},
    {Falha::FecharNoMeio, "close"},
    {Falha::RespostaCurta, "short"},
    {Falha::Lixo, "garbage"},
    {Falha::ExcecaoModbus, "exception"},
    {Falha::IpDiferente, "wrong-ip"},
    {Falha::RespostaGigante, "oversize"},
    {Falha::SumirSerial, "vanish"},
};

}  // namespace

bool FalhaAlcanca(const FalhaAtiva& f, const Pedido& p) {
    if (f.falha == Falha::Nenhuma || f.alvo.ocorrencias == 0 || p.tipo == TipoPedido::Invalido) {
        return false;
    }
    const AlvoFalha& a = f.alvo;
    if ((a.comando || a.subcomando) && !EhComando(p)) {
        return false;
    }
    if (a.comando && *a.comando != p.comando) {
        return false;
    }
    if (a.subcomando && *a.subcomando != p.subcomando) {
        return false;
    }
    if (a.registro && (!EhModbus(p) || *a.registro != p.registro)) {
        return false;
    }
    if (a.blocoBruto && p.tipo != TipoPedido::Bloco) {
        return false;
    }
    if (f.falha == Falha::ExcecaoModbus) {
        return EhModbus(p);
    }
    if (f.falha == Falha::IpDiferente) {
        return Dispositivo::BlocoDeEnderecos(p);
    }
    return true;
}

bool FalhaDoEquipamento(Falha falha) {
    return falha == Falha::Recusar || falha == Falha::ExcecaoModbus || falha == Falha::IpDiferente;
}

Envio AplicarFalhaTransporte(Falha falha, const Resposta& resposta, Meio meio) {
    Envio envio;
    envio.bytes = resposta.bytes;
    envio.fecharDepois = resposta.reinicia && meio == Meio::Tcp;
    const size_t n = resposta.bytes.size();
    // Where a cut reply ends: before the acknowledgement byte when there is
    // one, so that the cut is felt; else within the first few bytes.
    const size_t corte = resposta.posicaoAck >= 0
                             ? static_cast<size_t>(resposta.posicaoAck)
                             : std::min(kBytesRespostaCurta, n > 0 ? n - 1 : 0);
    switch (falha) {
        case Falha::Nenhuma:
        case Falha::Recusar:
        case Falha::ExcecaoModbus:
        case Falha::IpDiferente:
            break;
        case Falha::Calar:
            envio.bytes.clear();
            envio.aplicarEstado = false;
            envio.nota = "fault: silent";
            break;
        case Falha::FecharNoMeio:
            envio.bytes.resize(std::min(corte, n));
            envio.fecharDepois = true;
            envio.nota = "fault: " + std::to_string(envio.bytes.size()) + " of " +
                         std::to_string(n) + " bytes, then " +
                         (meio == Meio::Tcp ? "connection closed" : "line silent");
            if (meio == Meio::Serial) {
                envio.fecharDepois = false;
            }
            break;
        case Falha::RespostaCurta:
            envio.bytes.resize(std::min(corte, n));
            envio.nota = "fault: short reply, " + std::to_string(envio.bytes.size()) + " of " +
                         std::to_string(n) + " bytes";
            break;
        case Falha::Lixo: {
            const size_t tamanho = std::max<size_t>(n, 8);
            envio.bytes.assign(tamanho, 0);
            for (size_t i = 0; i < tamanho; ++i) {
                envio.bytes[i] = i % 2 == 0 ? 0xA5 : 0x5A;
            }
            envio.aplicarEstado = false;
            envio.nota = "fault: garbage instead of the reply";
            break;
        }
        case Falha::RespostaGigante:
            envio.bytes.resize(std::max(kTamanhoRespostaGigante, n + 1), '#');
            envio.nota = "fault: reply padded to " + std::to_string(envio.bytes.size()) + " bytes";
            break;
        case Falha::SumirSerial:
            envio.bytes.clear();
            envio.sumir = true;
            envio.aplicarEstado = false;
            envio.nota = meio == Meio::Serial ? "fault: serial line gone"
                                              : "fault: connection dropped without reply";
            break;
    }
    return envio;
}

const char* NomeFalha(Falha falha) {
    for (const NomeDeFalha& n : kNomes) {
        if (n.falha == falha) {
            return n.nome;
        }
    }
    return "?";
}

bool FalhaDoNome(const std::string& nome, Falha& falha) {
    for (const NomeDeFalha& n : kNomes) {
        if (nome == n.nome) {
            falha = n.falha;
            return true;
        }
    }
    return false;
}

bool AlvoDoTexto(const std::string& texto, AlvoFalha& alvo) {
    alvo = AlvoFalha{};
    if (texto.empty()) {
        return true;
    }
    if (texto == "raw") {
        alvo.blocoBruto = true;
        return true;
    }
    const bool comComando = texto[0] == 'L' || texto[0] == 'P';
    const std::string numero = comComando ? texto.substr(1) : texto;
    if (numero.empty() || numero.size() > 5 ||
        !std::all_of(numero.begin(), numero.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const long valor = std::strtol(numero.c_str(), nullptr, 10);
    if (comComando) {
        if (valor > 255) {
            return false;
        }
        alvo.comando = static_cast<uint8_t>(texto[0]);
        alvo.subcomando = static_cast<uint8_t>(valor);
        return true;
    }
    if (valor > 65535) {
        return false;
    }
    alvo.registro = static_cast<uint16_t>(valor);
    return true;
}

}  // namespace tvx::sim
