// The texts between the front ends and the network helper. The helper links
// this file too, so it depends on nothing of the program beyond core/os.
#include <algorithm>
#include <climits>
#include <string>

#include "core/os/auxiliar_rede.h"
#include "core/os/rede_os.h"

namespace tvx::os {

namespace {

// Splits linha at single spaces into exactly n fields; empty fields (two
// spaces, a leading or trailing one) are refused.
bool Campos(std::string_view linha, size_t n, std::vector<std::string_view>& campos) {
    campos.clear();
    size_t inicio = 0;
    for (;;) {
        const size_t espaco = linha.find(' ', inicio);
        campos.push_back(linha.substr(inicio, espaco - inicio));
        if (campos.back().empty() || campos.size() > n) {
            return false;
        }
        if (espaco == std::string_view::npos) {
            return campos.size() == n;
        }
        inicio = espaco + 1;
    }
}

std::string Pontuado(uint32_t ip) {
    std::string texto;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            texto += '.';
        }
        texto += std::to_string((ip >> (8 * i)) & 0xFF);
    }
    return texto;
}

}  // namespace

bool DecimalEstrito(std::string_view texto, uint32_t maximo, uint32_t& valor) {
    if (texto.empty() || texto.size() > 10 || (texto[0] == '0' && texto.size() > 1)) {
        return false;
    }
    uint64_t v = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > maximo) {
        return false;
    }
    valor = static_cast<uint32_t>(v);
    return true;
}

bool EnderecoDeHost(uint32_t endereco) {
    const uint32_t primeiro = endereco & 0xFF;
    return primeiro != 0 && primeiro < 224;
}

bool NomeDeInterface(std::string_view nome) {
    if (nome.empty() || nome.size() >= 16 || nome == "." || nome == "..") {
        return false;
    }
    return std::all_of(nome.begin(), nome.end(),
                       [](char c) { return c > ' ' && c < 0x7F && c != '/' && c != ':'; });
}

bool LerEnderecoProprio(std::string_view texto, uint32_t& endereco, uint8_t& prefixo) {
    const size_t barra = texto.find('/');
    uint32_t ip = 0;
    uint32_t p = 0;
    if (barra == std::string_view::npos || !TextoIpEstrito(texto.substr(0, barra), ip) ||
        !DecimalEstrito(texto.substr(barra + 1), kMaiorPrefixoProprio, p) ||
        p < kMenorPrefixoProprio) {
        return false;
    }
    const uint32_t a = ip & 0xFF;
    const uint32_t b = (ip >> 8) & 0xFF;
    const bool privado = a == 10 || (a == 172 && (b & 0xF0) == 16) || (a == 192 && b == 168);
    // The host part, in the order the address is written.
    const uint32_t escrito =
        (ip & 0xFF) << 24 | ((ip >> 8) & 0xFF) << 16 | ((ip >> 16) & 0xFF) << 8 | ip >> 24;
    const uint32_t hostParte = escrito & ~(~uint32_t{0} << (32 - p));
    if (!privado || hostParte == 0 || hostParte == ~(~uint32_t{0} << (32 - p))) {
        return false;
    }
    endereco = ip;
    prefixo = static_cast<uint8_t>(p);
    return true;
}

std::string TextoEnderecoComPrefixo(uint32_t endereco, uint8_t prefixo) {
    return Pontuado(endereco) + "/" + std::to_string(prefixo);
}

std::string LinhaRespostaEco(long erro, const RespostaEco& resposta) {
    return std::to_string(erro) + ' ' + Pontuado(resposta.endereco) + ' ' +
           std::to_string(resposta.status) + ' ' + std::to_string(resposta.tempoMs) + ' ' +
           std::to_string(resposta.tamanhoDados);
}

bool LerRespostaEco(std::string_view linha, long& erro, RespostaEco& resposta) {
    std::vector<std::string_view> campos;
    uint32_t e = 0;
    RespostaEco r;
    uint32_t bytes = 0;
    if (!Campos(linha, 5, campos) || !DecimalEstrito(campos[0], INT_MAX, e) ||
        !TextoIpEstrito(campos[1], r.endereco) ||
        !DecimalEstrito(campos[2], UINT32_MAX, r.status) ||
        !DecimalEstrito(campos[3], UINT32_MAX, r.tempoMs) ||
        !DecimalEstrito(campos[4], kTamanhoMaximoEco, bytes)) {
        return false;
    }
    r.tamanhoDados = static_cast<uint16_t>(bytes);
    erro = static_cast<long>(e);
    resposta = r;
    return true;
}

std::string LinhaRespostaCodigo(int codigo) {
    return std::to_string(codigo);
}

bool LerRespostaCodigo(std::string_view linha, int& codigo) {
    uint32_t c = 0;
    if (!DecimalEstrito(linha, INT_MAX, c)) {
        return false;
    }
    codigo = static_cast<int>(c);
    return true;
}

}  // namespace tvx::os
