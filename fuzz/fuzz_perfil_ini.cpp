// The INI layer under the configuration file: any file content, any names,
// values and buffer sizes. A value written must read back, and a profile
// saved and loaded again must hold the same lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz/falha_alvo.h"
#include "fuzz/pasta_temporaria.h"
#include "fuzz/sem_rede.h"
#include "persistence/perfil_ini.h"

namespace {

using tvx::fuzz::Exigir;
using tvx::fuzz::Falha;

void Gravar(const std::string& caminho, std::string_view conteudo) {
    std::ofstream arquivo(caminho, std::ios::binary | std::ios::trunc);
    arquivo.write(conteudo.data(), static_cast<std::streamsize>(conteudo.size()));
    Exigir(static_cast<bool>(arquivo), "cannot write the input file");
}

size_t Caracteres(std::string_view utf8) {
    size_t n = 0;
    for (char c : utf8) {
        n += (static_cast<uint8_t>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

bool Branco(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// Printable ASCII with no blank at either end: a name or value that the
// profile functions store and give back unchanged.
bool Simples(std::string_view t, std::string_view proibidos) {
    if (t.empty() || Branco(t.front()) || Branco(t.back())) {
        return false;
    }
    for (char c : t) {
        if (c < 0x20 || c > 0x7E || proibidos.find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    tvx::fuzz::PastaTemporaria();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    const std::string secao = f.ConsumeRandomLengthString(64);
    const std::string chave = f.ConsumeRandomLengthString(64);
    const std::string valor = f.ConsumeRandomLengthString(300);
    const size_t buffer = f.ConsumeIntegralInRange<size_t>(0, 300);
    const int padraoInteiro = f.ConsumeIntegral<int>();
    const std::string conteudo = f.ConsumeRemainingBytesAsString();

    const std::string caminho = tvx::fuzz::PastaTemporaria() + "/perfil.ini";
    Gravar(caminho, conteudo);

    tvx::cPerfilIni perfil;
    Exigir(perfil.Carregar(caminho).Ok(), "a readable file did not load");

    const std::string lido = perfil.LerTexto(secao, chave, valor, buffer);
    Exigir(buffer == 0 ? lido.empty() : Caracteres(lido) <= buffer - 1,
           "text longer than the buffer");
    (void)perfil.LerInteiro(secao, chave, padraoInteiro);
    Exigir(lido == tvx::LerTextoPerfil(caminho, secao, chave, valor, buffer),
           "the one-call reader disagrees with the profile");

    perfil.GravarTexto(secao, chave, valor);
    if (Simples(secao, "[]") && Simples(chave, "=[;") && Simples(valor, "") &&
        !(valor.size() >= 2 && valor.front() == '"' && valor.back() == '"')) {
        Exigir(perfil.LerTexto(secao, chave, "", 4096) == valor,
               "written value does not read back");
        Exigir(perfil.LerInteiro(secao, chave, padraoInteiro) ==
                   perfil.LerInteiro(secao, chave, padraoInteiro ^ 1),
               "a key that is there reads as missing");
    }

    Exigir(perfil.Salvar(caminho).Ok(), "the profile could not be saved");
    tvx::cPerfilIni relido;
    Exigir(relido.Carregar(caminho).Ok(), "the saved profile did not load");
    // A first line that starts with the bytes of a UTF-8 byte-order mark is
    // taken for one on loading: that is the one way back that differs.
    const auto& linhas = perfil.Linhas();
    if (linhas.empty() || !linhas.front().starts_with("\xEF\xBB\xBF")) {
        Exigir(relido.Linhas() == linhas, "lines changed through a save and a load");
    }
    return 0;
}
