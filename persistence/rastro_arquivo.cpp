#include "persistence/rastro_arquivo.h"

#include "transport/rastro.h"

namespace tvx {

os::ResultadoArquivo IniciarRastroEmArquivo(const std::string& caminho) {
    const os::ResultadoArquivo r = os::AnexarArquivo(
        caminho, "# TVXNetCfg: quadros trocados com o equipamento (>> enviado, << recebido)\n");
    if (r.Ok()) {
        // A frame that cannot be written is lost from the trace alone: the
        // run and its log go on as they would without it.
        DefinirSaidaRastro([caminho](std::string_view texto) {
            static_cast<void>(os::AnexarArquivo(caminho, texto));
        });
    }
    return r;
}

}  // namespace tvx
