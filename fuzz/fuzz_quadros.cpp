// The frame builders with arbitrary arguments. Every buffer is exactly as
// large as the capacity or length the call is given, so a byte written or
// read beyond it is an AddressSanitizer report; each frame built is then
// taken apart again and checked against what was asked for.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "transport/codec.h"

namespace {

using tvx::fuzz::Exigir;
using tvx::fuzz::Falha;

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSujeira = 0xA5;

// Reference check values, written apart from the codec's.
uint16_t CrcCms(const uint8_t* d, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= static_cast<uint16_t>(d[i] << 8);
        for (int b = 0; b < 8; ++b) {
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x8005)
                                 : static_cast<uint16_t>(crc << 1);
        }
    }
    return crc;
}

uint16_t CrcModbus(const uint8_t* d, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= d[i];
        for (int b = 0; b < 8; ++b) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

bool TudoZero(const uint8_t* d, size_t inicio, size_t fim) {
    for (size_t i = inicio; i < fim; ++i) {
        if (d[i] != 0) {
            return false;
        }
    }
    return true;
}

size_t Dobrados(const uint8_t* d, size_t n) {
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        total += d[i] == tvx::kDle ? 2 : 1;
    }
    return total;
}

// Either a length that fits the data or one of the awkward edges.
int32_t Tamanho(FuzzedDataProvider& f, int32_t maximo) {
    switch (f.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return f.ConsumeIntegralInRange<int32_t>(0, maximo);
        case 1:
            return f.ConsumeIntegral<int32_t>();
        case 2:
            return -f.ConsumeIntegralInRange<int32_t>(1, 70000);
        default:
            return f.ConsumeIntegralInRange<int32_t>(1270, 1290);
    }
}

void QuadroSimples(FuzzedDataProvider& f) {
    const uint32_t capacidade = f.ConsumeIntegral<uint32_t>() % 70000u;
    const uint8_t comando = f.ConsumeIntegral<uint8_t>();
    const uint8_t sub = f.ConsumeIntegral<uint8_t>();
    const int32_t tamanho = Tamanho(f, 2100);
    const bool semDados = f.ConsumeBool();
    Bytes carga = f.ConsumeBytes<uint8_t>(tamanho > 0 ? static_cast<size_t>(tamanho) : 0);
    if (tamanho > 0 && carga.size() != static_cast<size_t>(tamanho) && !semDados) {
        return;  // not enough input for an honest payload
    }
    const uint32_t usada = capacidade & 0xFFFFu;
    Bytes destino(usada, kSujeira);
    const int16_t r = tvx::MontarQuadroSimples(destino.data(), capacidade, comando, sub, tamanho,
                                               semDados ? nullptr : carga.data());
    if (tamanho < 0) {
        Exigir(r < 0, "negative length not handed back");
        Exigir(r == (tamanho < INT16_MIN ? -1 : tamanho), "negative length changed");
        for (uint8_t b : destino) {
            Exigir(b == kSujeira, "written although the length was negative");
        }
        return;
    }
    if (r < 0) {
        Exigir(r == -1, "plain frame: unexpected negative result");
        Exigir(TudoZero(destino.data(), 0, usada), "plain frame refused but bytes left behind");
        Exigir(usada < 2 || (!semDados && tamanho >= 1 && int64_t{tamanho} + 2 > usada),
               "plain frame refused although it fits");
        return;
    }
    Exigir(static_cast<uint32_t>(r) <= usada, "plain frame longer than the capacity");
    Exigir(destino[0] == comando && destino[1] == sub, "plain frame header wrong");
    if (semDados || tamanho == 0) {
        Exigir(r == 2, "plain frame without payload is not 2 bytes");
    } else {
        Exigir(r == tamanho + 2, "plain frame length wrong");
        Exigir(std::memcmp(destino.data() + 2, carga.data(), carga.size()) == 0,
               "plain frame payload changed");
    }
    Exigir(TudoZero(destino.data(), static_cast<size_t>(r), usada), "plain frame: tail not zero");
}

void QuadroDle(FuzzedDataProvider& f) {
    const uint32_t capacidade = f.ConsumeIntegral<uint32_t>() % 70000u;
    const uint8_t rtu = f.ConsumeBool() ? tvx::kDle : f.ConsumeIntegral<uint8_t>();
    const uint8_t comando = f.ConsumeIntegral<uint8_t>();
    const uint8_t sub = f.ConsumeIntegral<uint8_t>();
    const int32_t tamanho = Tamanho(f, 2100);
    const bool semDados = f.ConsumeBool();
    Bytes carga = f.ConsumeBytes<uint8_t>(tamanho > 0 ? static_cast<size_t>(tamanho) : 0);
    if (tamanho > 0 && carga.size() != static_cast<size_t>(tamanho) && !semDados) {
        return;
    }
    const uint32_t usada = capacidade & 0xFFFFu;
    Bytes destino(usada, kSujeira);
    const int16_t r = tvx::MontarQuadroDle(destino.data(), capacidade, rtu, comando, sub, tamanho,
                                           semDados ? nullptr : carga.data());
    if (tamanho < 0) {
        Exigir(r == (tamanho < INT16_MIN ? -1 : tamanho), "DLE frame: negative length changed");
        for (uint8_t b : destino) {
            Exigir(b == kSujeira, "DLE frame written although the length was negative");
        }
        return;
    }
    const uint8_t cabecalho[3] = {rtu, comando, sub};
    const bool comCarga = !semDados && tamanho >= 1;
    const size_t inicio = 2 + Dobrados(cabecalho, 3);
    const size_t necessario = inicio + (comCarga ? Dobrados(carga.data(), carga.size()) : 0) + 4;
    if (r < 0) {
        Exigir(r == -1, "DLE frame: unexpected negative result");
        Exigir(TudoZero(destino.data(), 0, usada), "DLE frame refused but bytes left behind");
        // The builder may demand room for every payload byte doubled.
        const bool semEspacoPior =
            comCarga && (usada < inicio || 2 * carga.size() > usada - inicio);
        Exigir(necessario > usada || necessario > INT16_MAX || semEspacoPior,
               "DLE frame refused although it fits");
        return;
    }
    Exigir(static_cast<size_t>(r) == necessario, "DLE frame length wrong");
    Exigir(static_cast<uint32_t>(r) <= usada, "DLE frame longer than the capacity");
    Exigir(destino[0] == tvx::kDle && destino[1] == tvx::kStx, "DLE frame start wrong");
    Exigir(destino[r - 4] == tvx::kDle && destino[r - 3] == tvx::kEtx, "DLE frame end wrong");
    const uint16_t crc = CrcCms(destino.data(), static_cast<size_t>(r) - 2);
    Exigir(destino[r - 2] == (crc >> 8) && destino[r - 1] == (crc & 0xFF), "DLE frame CRC wrong");
    // Undo the doubling between start and end and compare with what was asked.
    Bytes conteudo;
    for (size_t i = 2; i < static_cast<size_t>(r) - 4; ++i) {
        conteudo.push_back(destino[i]);
        if (destino[i] == tvx::kDle) {
            ++i;
            Exigir(i < static_cast<size_t>(r) - 4 && destino[i] == tvx::kDle,
                   "DLE frame: a DLE inside is not doubled");
        }
    }
    Bytes esperado(cabecalho, cabecalho + 3);
    if (comCarga) {
        esperado.insert(esperado.end(), carga.begin(), carga.end());
    }
    Exigir(conteudo == esperado, "DLE frame content differs from what was asked");
    Exigir(TudoZero(destino.data(), static_cast<size_t>(r), usada), "DLE frame: tail not zero");
}

void Encapsular(FuzzedDataProvider& f) {
    const int32_t capacidade = f.ConsumeBool() ? f.ConsumeIntegralInRange<int32_t>(-20, 1400)
                                               : f.ConsumeIntegral<int32_t>() % 4000;
    const int32_t tamanho = Tamanho(f, 1400);
    const uint8_t rtu = f.ConsumeIntegral<uint8_t>();
    const uint8_t flag = f.ConsumeIntegral<uint8_t>();
    const bool noLugar = f.ConsumeBool();
    const bool naFaixa = tamanho >= 1 && tamanho < 1280;
    Bytes origem = f.ConsumeBytes<uint8_t>(naFaixa ? static_cast<size_t>(tamanho) : 0);
    if (naFaixa && origem.size() != static_cast<size_t>(tamanho)) {
        return;
    }
    const Bytes copia = origem;
    const size_t tamanhoDestino = capacidade > 0 ? static_cast<size_t>(capacidade) : 0;
    Bytes destino;
    uint8_t* alvo;
    const uint8_t* fonte;
    if (noLugar) {
        // The channel's way: source and destination are one buffer.
        origem.resize(std::max(origem.size(), tamanhoDestino), kSujeira);
        alvo = origem.data();
        fonte = origem.data();
    } else {
        destino.assign(tamanhoDestino, kSujeira);
        alvo = destino.data();
        fonte = origem.data();
    }
    const int32_t r = tvx::EncapsularTcp(alvo, capacidade, fonte, tamanho, rtu, flag);
    if (capacidade < 12) {
        Exigir(r == -1, "header written into a buffer shorter than the header");
        return;
    }
    if (naFaixa && 12 + tamanho > capacidade) {
        Exigir(r == -1, "frame longer than the capacity accepted");
        return;
    }
    const uint8_t base[9] = {0x00, 0x00, 0x03, 0x00, flag, 0x00, 0x00, 0x05, rtu};
    Exigir(r >= 12 && std::memcmp(alvo, base, 9) == 0, "TCP header wrong");
    if (!naFaixa) {
        const uint32_t t = static_cast<uint32_t>(tamanho);
        Exigir(
            r == 12 && alvo[9] == 0x00 && alvo[10] == (t & 0xFF) && alvo[11] == ((t >> 8) & 0xFF),
            "TCP header for an out-of-range length wrong");
        return;
    }
    Exigir(r == 12 + tamanho, "TCP frame length wrong");
    Exigir(alvo[9] == 0xFF && alvo[10] == (tamanho >> 8) && alvo[11] == (tamanho & 0xFF),
           "TCP header length field wrong");
    Exigir(std::memcmp(alvo + 12, copia.data(), copia.size()) == 0, "TCP payload changed");
}

void Inserir(FuzzedDataProvider& f) {
    const int32_t tamanho = Tamanho(f, 3000);
    const int32_t espaco = f.ConsumeBool() ? f.ConsumeIntegralInRange<int32_t>(-5, 6100)
                                           : f.ConsumeIntegral<int32_t>() % 7000;
    const Bytes origem = f.ConsumeBytes<uint8_t>(tamanho > 0 ? static_cast<size_t>(tamanho) : 0);
    if (tamanho > 0 && origem.size() != static_cast<size_t>(tamanho)) {
        return;
    }
    Bytes destino(espaco > 0 ? static_cast<size_t>(espaco) : 0, kSujeira);
    Bytes fonte = origem;
    if (fonte.empty()) {
        fonte.push_back(0);  // a valid pointer; the length says how much is there
    }
    const int32_t r = tvx::InserirDle(fonte.data(), destino.data(), tamanho, espaco);
    if (tamanho <= 0 || espaco <= 0 || 2 * int64_t{tamanho} > espaco) {
        Exigir(r == -1, "doubling accepted without room for the worst case");
        return;
    }
    Exigir(static_cast<size_t>(r) == Dobrados(origem.data(), origem.size()),
           "doubled length wrong");
    size_t j = 0;
    for (uint8_t b : origem) {
        Exigir(destino[j++] == b, "doubled copy wrong");
        if (b == tvx::kDle) {
            Exigir(destino[j++] == tvx::kDle, "DLE not doubled");
        }
    }
}

void Modbus(FuzzedDataProvider& f) {
    const uint8_t unidade = f.ConsumeIntegral<uint8_t>();
    const uint16_t registro = f.ConsumeIntegral<uint16_t>();
    if (f.ConsumeBool()) {
        const uint16_t quantidade = f.ConsumeIntegral<uint16_t>();
        Bytes d(8, kSujeira);
        Exigir(tvx::MontarLeituraModbus(d.data(), unidade, registro, quantidade) == 8,
               "read request is not 8 bytes");
        const uint16_t crc = CrcModbus(d.data(), 6);
        Exigir(d[0] == unidade && d[1] == 3 && d[2] == (registro >> 8) &&
                   d[3] == (registro & 0xFF) && d[4] == (quantidade >> 8) &&
                   d[5] == (quantidade & 0xFF) && d[6] == (crc & 0xFF) && d[7] == (crc >> 8),
               "read request wrong");
        Bytes tcp(12, kSujeira);
        Exigir(tvx::RtuParaTcp(tcp.data(), d.data(), 8) == 12, "Modbus TCP length wrong");
        const uint8_t cab[6] = {0, 0, 0, 0, 0, 6};
        Exigir(
            std::memcmp(tcp.data(), cab, 6) == 0 && std::memcmp(tcp.data() + 6, d.data(), 6) == 0,
            "Modbus TCP request wrong");
        return;
    }
    const uint8_t quantidade = f.ConsumeIntegral<uint8_t>();
    const uint8_t bytes = f.ConsumeIntegral<uint8_t>();
    const Bytes dados = f.ConsumeBytes<uint8_t>(bytes);
    if (dados.size() != bytes) {
        return;
    }
    Bytes d(9u + bytes, kSujeira);
    Exigir(tvx::MontarEscritaModbus(d.data(), unidade, registro, quantidade, bytes,
                                    dados.empty() ? nullptr : dados.data()) == 9 + bytes,
           "write request length wrong");
    const uint16_t crc = CrcModbus(d.data(), 7u + bytes);
    Exigir(d[0] == unidade && d[1] == 16 && d[2] == (registro >> 8) && d[3] == (registro & 0xFF) &&
               d[4] == 0 && d[5] == quantidade && d[6] == bytes &&
               (bytes == 0 || std::memcmp(d.data() + 7, dados.data(), bytes) == 0) &&
               d[7 + bytes] == (crc & 0xFF) && d[8 + bytes] == (crc >> 8),
           "write request wrong");
    const int m = 9 + bytes;
    Bytes tcp(static_cast<size_t>(m) + 4, kSujeira);
    Exigir(tvx::RtuParaTcp(tcp.data(), d.data(), m) == m + 4, "Modbus TCP length wrong");
    Exigir(tcp[4] == ((m - 2) >> 8) && tcp[5] == ((m - 2) & 0xFF) &&
               std::memcmp(tcp.data() + 6, d.data(), static_cast<size_t>(m) - 2) == 0 &&
               TudoZero(tcp.data(), 0, 4),
           "Modbus TCP request wrong");
}

void Verificacoes(FuzzedDataProvider& f) {
    const Bytes dados = f.ConsumeBytes<uint8_t>(f.ConsumeIntegralInRange<size_t>(0, 4096));
    uint16_t cms = 0;
    uint16_t modbus = 0;
    tvx::Crc16Cms(cms, dados.data(), dados.size());
    tvx::Crc16Modbus(modbus, dados.data(), dados.size());
    Exigir(cms == CrcCms(dados.data(), dados.size()), "CRC-16/CMS differs from the reference");
    Exigir(modbus == CrcModbus(dados.data(), dados.size()),
           "CRC-16/MODBUS differs from the reference");
    Bytes trocado = dados;
    if (trocado.size() > 0xFFFF) {
        trocado.resize(0xFFFF);
    }
    const Bytes antes = trocado;
    tvx::TrocarBytes(trocado.data(), static_cast<uint16_t>(trocado.size()));
    for (size_t i = 0; i + 1 < antes.size(); i += 2) {
        Exigir(trocado[i] == antes[i + 1] && trocado[i + 1] == antes[i], "word not swapped");
    }
    if (antes.size() % 2 == 1) {
        Exigir(trocado.back() == antes.back(), "odd last byte moved");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    switch (f.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            QuadroSimples(f);
            break;
        case 1:
            QuadroDle(f);
            break;
        case 2:
            Encapsular(f);
            break;
        case 3:
            Inserir(f);
            break;
        case 4:
            Modbus(f);
            break;
        default:
            Verificacoes(f);
            break;
    }
    return 0;
}
