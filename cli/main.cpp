// tvxnetcfg-cli: the TVXNetCfg wizard without windows, for scripts and for
// technicians at a terminal.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <string>

#include "cli/execucao.h"
#include "cli/opcoes.h"
#include "cli/plano_cli.h"
#include "core/equipamento.h"

int main(int argc, char** argv) {
    using namespace tvx::cli;

    // Before any thread exists, so that every thread inherits the mask.
    const sigset_t sinais = SinaisDeParada();
    pthread_sigmask(SIG_BLOCK, &sinais, nullptr);
    // A reader that closed its end of a pipe ("| head") is a failed write on
    // the terminal, not the end of a run that is talking to a device.
    signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && std::string(argv[1]) == "plan") {
        return ExecutarPlano(argc, argv, std::cout, std::cerr);
    }

    Opcoes opcoes;
    std::string erro;
    if (!LerOpcoes(argc, argv, opcoes, erro)) {
        std::cerr << kNomePrograma << ": " << erro << "\nUse " << kNomePrograma
                  << " --help para ver as opções.\n";
        return kSaidaRecusa;
    }
    if (opcoes.ajuda) {
        std::cout << TextoAjuda();
        return kSaidaSucesso;
    }
    return Executar(opcoes, tvx::EquipamentoGlobal(), std::cout, std::cerr);
}
