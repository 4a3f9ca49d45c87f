// The device replies' decoders (protocols/respostas.h), called directly: the
// echoes of families 1, 6, 9 and 15, the universal gateway's record, the
// tagged meters' text and the echoes of the MAC steps 2 and 16. One target
// per decoder, fuzz_<decoder>, built from this file with TVX_DECODIFICADOR
// naming it, so that each runs its own count of inputs.
//
// Input: the routine's context the decoder needs (the family and the address
// sent in numeric form for the 70-byte echo, the byte where the text starts
// for the tagged text), then the reply as it arrived, cut to the channel's
// 2048 bytes.
//
// For every input the decoder reads the reply from a heap block of exactly
// the bytes that arrived, so that a read past them is a report, and again
// from a 2048-byte buffer that holds an earlier reply's bytes past them, as
// the channel's would: the result must be the same. Each piece of the result
// must come from its own bytes of the layout only (changing all the others
// leaves it as it was), and be text that cannot disturb a terminal or the
// log.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "core/catalogo.h"
#include "core/registros.h"
#include "core/texto.h"
#include "core/utilitarios.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "protocols/respostas.h"
#include "transport/canal.h"

namespace {

using namespace tvx::protocolos;
using tvx::fuzz::Exigir;

constexpr uint8_t kMarca = 0xA5;
constexpr size_t kMaiorLayout = 280;
constexpr size_t kFimTexto = kMaiorLayout - 1;  // the tagged text's last byte is its end
constexpr const char* kReprogrameMac = "Falha na programação.Reprograme o MAC.";
constexpr const char* kRecebida = "Programação recebida:\r\nMAC=";
constexpr const char* kCabecalho = "Programação do MAC inválido.Cabeçalho desconhecido:";

struct Contexto {
    uint8_t familia = 0;
    uint32_t ipEnviado = 0;
    size_t inicio = 0;
};

struct Faixa {
    size_t inicio;
    size_t fim;
};
using Faixas = std::vector<Faixa>;

// The bytes of the layout each piece of the result may come from; the flag
// goes with the text.
struct Origens {
    Faixas texto, ip, mascara, gateway;
};

using Bloco = std::array<uint8_t, kMaiorLayout>;  // the reply, zeros past what arrived

struct Decodificador {
    const char* nome;
    size_t bytesContexto;
    Contexto (*contexto)(const uint8_t*);
    Decodificada (*decodificar)(Recebido, const Contexto&);
    Origens (*origens)(const Contexto&);
    void (*conferir)(const Decodificada&, const Bloco&, const Contexto&);
};

bool Utf8Valido(const std::string& texto) {
    for (size_t pos = 0; pos < texto.size();) {
        if (tvx::ProximoCaractereUtf8(texto, pos) == tvx::kCaractereInvalido) {
            return false;
        }
    }
    return true;
}

// No control character (C0, DEL, C1) of the device's reaches the screen or
// the log: only the line breaks of CR LF pairs and tabs, where allowed.
bool SemControle(const std::string& texto, bool linhas) {
    const std::u32string u = tvx::Utf8ParaU32(texto);
    for (size_t i = 0; i < u.size(); ++i) {
        const char32_t c = u[i];
        const bool controle = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        const bool quebra = c == '\r' && i + 1 < u.size() && u[i + 1] == '\n';
        const bool permitido =
            linhas && (quebra || c == '\t' || (c == '\n' && i > 0 && u[i - 1] == '\r'));
        if (controle && !permitido) {
            return false;
        }
    }
    return true;
}

// Each byte of the device shows as one character or a 4-character "\xNN".
void NoCampo(const std::optional<std::string>& texto, size_t bytes, const char* motivo) {
    Exigir(texto && texto->size() <= 4 * bytes, motivo);
}

// "%03d.%03d.%03d.%03d", reading back as the field's four bytes.
void Endereco(const std::optional<std::string>& texto, const Bloco& b, size_t offset) {
    Exigir(texto && texto->size() == 15, "read-back address not 15 characters");
    for (size_t i = 0; i < 15; ++i) {
        const char c = (*texto)[i];
        Exigir(i % 4 == 3 ? c == '.' : (c >= '0' && c <= '9'), "read-back address not padded");
    }
    Exigir(tvx::TextoParaIp(*texto) == tvx::LerIpRegistro(b.data(), offset),
           "read-back address is not the echoed one");
}

bool MacDe(const std::string& texto, size_t pos, const Bloco& b, size_t offset) {
    if (texto.size() < pos + 17) {
        return false;
    }
    const std::string mac = texto.substr(pos, 17);
    uint8_t bytes[6];
    tvx::TextoParaMac(mac, bytes);
    return tvx::MacValido(mac) && std::memcmp(bytes, b.data() + offset, 6) == 0;
}

void SemEnderecos(const Decodificada& d) {
    Exigir(!d.ip && !d.mascara && !d.gateway, "a reply without addresses set one");
}

size_t Contar(const std::string& texto, const std::string& parte) {
    size_t n = 0;
    for (size_t p = texto.find(parte); p != std::string::npos; p = texto.find(parte, p + 1)) {
        ++n;
    }
    return n;
}

Contexto SemContexto(const uint8_t*) {
    return {};
}

const Decodificador kDecodificadores[] = {
    {"eco_texto", 0, SemContexto,
     [](Recebido r, const Contexto&) { return DecodificarEcoTexto(r); },
     [](const Contexto&) {
         return Origens{{}, {{0, 20}}, {{20, 40}}, {{40, 60}}};
     },
     [](const Decodificada& d, const Bloco&, const Contexto&) {
         Exigir(d.ok && d.texto.empty(), "family 1 echo gave a text or a failure");
         NoCampo(d.ip, 20, "family 1 address longer than its slot");
         NoCampo(d.mascara, 20, "family 1 mask longer than its slot");
         NoCampo(d.gateway, 20, "family 1 gateway longer than its slot");
     }},
    {"eco_registro", 5,
     [](const uint8_t* c) {
         static constexpr uint8_t kFamilias[] = {
             tvx::kFamiliaGatewayTx, tvx::kFamiliaGatewayUniversal, tvx::kFamiliaGatewayModbus};
         return Contexto{kFamilias[c[0] % std::size(kFamilias)], tvx::LerIpRegistro(c, 1), 0};
     },
     [](Recebido r, const Contexto& c) {
         return DecodificarEcoRegistro(r, c.familia, c.ipEnviado);
     },
     [](const Contexto& c) {
         Faixas texto;
         if (c.familia == tvx::kFamiliaGatewayTx) {
             texto.push_back({0, 4});
         }
         if (c.familia != tvx::kFamiliaGatewayUniversal) {
             texto.push_back({64, 70});
         }
         // Family 6 sets the addresses only when the echo holds the one sent.
         const auto com = [&](Faixa f) {
             return c.familia == tvx::kFamiliaGatewayTx ? Faixas{{0, 4}, f} : Faixas{f};
         };
         return Origens{texto, {{0, 4}}, com({4, 8}), com({8, 12})};
     },
     [](const Decodificada& d, const Bloco& b, const Contexto& c) {
         if (c.familia == tvx::kFamiliaGatewayTx &&
             tvx::LerIpRegistro(b.data(), 0) != c.ipEnviado) {
             Exigir(!d.ok && d.texto == kReprogrameMac, "family 6 took another address");
             SemEnderecos(d);
             return;
         }
         Exigir(d.ok, "echo refused");
         Endereco(d.ip, b, 0);
         Endereco(d.mascara, b, 4);
         Endereco(d.gateway, b, 8);
         if (c.familia == tvx::kFamiliaGatewayUniversal) {
             Exigir(d.texto.empty(), "family 9 echo gave a text");
         } else {
             Exigir(d.texto.size() == 23 && d.texto.starts_with("MAC=") &&
                        d.texto.ends_with("\r\n") && MacDe(d.texto, 4, b, 64),
                    "MAC line is not the echoed MAC");
         }
     }},
    {"registro_gateway", 0, SemContexto,
     [](Recebido r, const Contexto&) { return DecodificarRegistroGateway(r); },
     [](const Contexto&) {
         return Origens{{{12, 20}}, {{0, 4}}, {{4, 8}}, {{8, 12}}};
     },
     [](const Decodificada& d, const Bloco& b, const Contexto&) {
         Exigir(d.ok, "gateway record refused");
         Endereco(d.ip, b, 0);
         Endereco(d.mascara, b, 4);
         Endereco(d.gateway, b, 8);
         Exigir(d.texto.empty() || d.texto.starts_with("Função: Gateway "),
                "gateway function text");
     }},
    {"texto_etiquetado", 1,
     [](const uint8_t* c) {
         return Contexto{0, 0, c[0]};
     },
     [](Recebido r, const Contexto& c) { return DecodificarTextoEtiquetado(r, c.inicio); },
     [](const Contexto& c) {
         const Faixas texto{{c.inicio, kFimTexto}};
         return Origens{texto, texto, texto, texto};
     },
     [](const Decodificada& d, const Bloco&, const Contexto& c) {
         Exigir(d.ok, "tagged text refused");
         Exigir(d.texto.size() <= 4 * (kFimTexto - c.inicio), "tagged text past its buffer");
         const std::pair<const std::optional<std::string>*, const char*> valores[] = {
             {&d.ip, "IP:"}, {&d.mascara, "Mask:"}, {&d.gateway, "Gateway:"}};
         for (const auto& [valor, marca] : valores) {
             if (!*valor) {
                 continue;
             }
             Exigir(d.texto.find(marca) != std::string::npos, "value of a label not in the text");
             // A value of blanks alone is there, and empty.
             const std::string& v = **valor;
             Exigir(v.size() <= 4 * 259, "label value longer than its field");
             Exigir(v.empty() || (v.front() != ' ' && v.front() != '\t' && v.back() != ' ' &&
                                  v.back() != '\t'),
                    "label value not trimmed");
         }
     }},
    {"eco_mac_id_sms", 0, SemContexto,
     [](Recebido r, const Contexto&) { return DecodificarEcoMacIdSms(r); },
     [](const Contexto&) {
         return Origens{{{4, 10}, {23, 40}, {42, 60}}, {}, {}, {}};
     },
     [](const Decodificada& d, const Bloco& b, const Contexto&) {
         Exigir(d.ok, "step 2 echo refused");
         SemEnderecos(d);
         const std::string inicio = kRecebida;
         Exigir(d.texto.starts_with(inicio) && MacDe(d.texto, inicio.size(), b, 4),
                "step 2 MAC is not the echoed one");
         // The device's texts cannot add a line of their own.
         Exigir(Contar(d.texto, "\r\n") == 4 && d.texto.ends_with("\r\n"), "step 2 lines");
         const size_t id = d.texto.find("\r\nID=");
         const size_t sms = d.texto.find("\r\nCelular SMS=");
         Exigir(id != std::string::npos && sms != std::string::npos && id < sms,
                "step 2 ID and SMS lines");
         Exigir(sms - id - 5 <= 4 * 17 && d.texto.size() - sms - 16 <= 4 * 18,
                "step 2 text longer than its slot");
     }},
    {"eco_mac", 0, SemContexto, [](Recebido r, const Contexto&) { return DecodificarEcoMac(r); },
     [](const Contexto&) {
         return Origens{{{0, 10}}, {}, {}, {}};
     },
     [](const Decodificada& d, const Bloco& b, const Contexto&) {
         SemEnderecos(d);
         if (std::memcmp(b.data(), "MAC=", 4) != 0) {
             const std::string cabecalho = kCabecalho;
             Exigir(!d.ok && d.texto.starts_with(cabecalho), "step 16 took another heading");
             const std::string hex = d.texto.substr(cabecalho.size());
             Exigir(hex.size() == 29, "step 16 shows other than its 10 bytes");
             for (size_t i = 0; i < 10; ++i) {
                 Exigir(std::strtoul(hex.substr(3 * i, 2).c_str(), nullptr, 16) == b[i] &&
                            (i == 9 || hex[3 * i + 2] == ' '),
                        "step 16 shows bytes it did not receive");
             }
             return;
         }
         const std::string inicio = kRecebida;
         Exigir(d.ok && d.texto.size() == inicio.size() + 19 && d.texto.starts_with(inicio) &&
                    MacDe(d.texto, inicio.size(), b, 4) && d.texto.ends_with("\r\n"),
                "step 16 MAC is not the echoed one");
     }},
};
const Decodificador* escolhido = nullptr;

bool Iguais(const Decodificada& a, const Decodificada& b) {
    return a.ok == b.ok && a.texto == b.texto && a.ip == b.ip && a.mascara == b.mascara &&
           a.gateway == b.gateway;
}

Decodificada Decodificar(const Decodificador& d, const std::vector<uint8_t>& resposta,
                         const Contexto& c) {
    // Exactly what arrived, on the heap: a read past it is a report.
    const std::vector<uint8_t> exata(resposta);
    return d.decodificar(Recebido(exata.data(), exata.size()), c);
}

bool Dentro(const Faixas& faixas, size_t i) {
    for (const Faixa& f : faixas) {
        if (i >= f.inicio && i < f.fim) {
            return true;
        }
    }
    return false;
}

// A piece must stay as it was when every byte outside its origins changes.
template <typename Peca>
void SoDaOrigem(const Decodificador& d, const std::vector<uint8_t>& resposta, const Contexto& c,
                const Decodificada& antes, const Faixas& origem, Peca peca, const char* motivo) {
    std::vector<uint8_t> outra(resposta);
    bool mudou = false;
    for (size_t i = 0; i < outra.size(); ++i) {
        if (!Dentro(origem, i)) {
            outra[i] ^= 0x5A;
            mudou = true;
        }
    }
    if (mudou) {
        Exigir(peca(Decodificar(d, outra, c)) == peca(antes), motivo);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    for (const Decodificador& d : kDecodificadores) {
        if (std::strcmp(d.nome, TVX_DECODIFICADOR) == 0) {
            escolhido = &d;
        }
    }
    Exigir(escolhido != nullptr, "no decoder of that name");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    const Decodificador& d = *escolhido;
    if (tamanho < d.bytesContexto) {
        return 0;
    }
    const Contexto c = d.contexto(dados);
    const uint8_t* inicio = dados + d.bytesContexto;
    const size_t chegou = std::min(tamanho - d.bytesContexto, size_t{tvx::kTamanhoBufferCanal});
    const std::vector<uint8_t> resposta(inicio, inicio + chegou);

    const Decodificada r = Decodificar(d, resposta, c);

    // The channel's buffer with an earlier reply's bytes past this one.
    std::vector<uint8_t> canal(tvx::kTamanhoBufferCanal, kMarca);
    std::copy(resposta.begin(), resposta.end(), canal.begin());
    Exigir(Iguais(d.decodificar(Recebido(canal.data(), chegou), c), r),
           "bytes past the reply changed what it says");

    Exigir(Utf8Valido(r.texto) && SemControle(r.texto, true), "text with a device control");
    for (const auto* campo : {&r.ip, &r.mascara, &r.gateway}) {
        Exigir(!*campo || (Utf8Valido(**campo) && SemControle(**campo, false)),
               "read-back address with a device control");
    }

    const Origens o = d.origens(c);
    SoDaOrigem(
        d, resposta, c, r, o.texto, [](const Decodificada& x) { return std::pair(x.ok, x.texto); },
        "the text comes from bytes outside its field");
    SoDaOrigem(
        d, resposta, c, r, o.ip, [](const Decodificada& x) { return x.ip; },
        "the address comes from bytes outside its field");
    SoDaOrigem(
        d, resposta, c, r, o.mascara, [](const Decodificada& x) { return x.mascara; },
        "the mask comes from bytes outside its field");
    SoDaOrigem(
        d, resposta, c, r, o.gateway, [](const Decodificada& x) { return x.gateway; },
        "the gateway comes from bytes outside its field");

    Bloco bloco{};
    std::copy_n(resposta.begin(), std::min(resposta.size(), bloco.size()), bloco.begin());
    d.conferir(r, bloco, c);
    return 0;
}
