#include "cli/rede.h"

#include <ostream>
#include <string>

#include "core/preparacao_rede.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"

namespace tvx::cli {

namespace {

void Dizer(std::ostream& erros, const std::string& texto) {
    erros << kNomePrograma << ": " << texto << '\n' << std::flush;
}

}  // namespace

void RemoverSobrasDeRede(std::ostream& erros) {
    for (const std::string& texto : RemoverSobras()) {
        Dizer(erros, texto);
    }
}

void PrepararRede(const Opcoes& opcoes, const cEquipamento& equipamento, std::ostream& erros) {
    const uint32_t acao = *opcoes.acao == Acao::Programar ? kAcaoProgramar
                          : *opcoes.acao == Acao::Ler     ? kAcaoLer
                                                          : kAcaoTestar;
    const DiagnosticoRede diagnostico = DiagnosticarAntesDe(acao, equipamento);
    if (diagnostico.problema == ProblemaRede::Nenhum) {
        return;
    }
    Dizer(erros, diagnostico.texto);
    if (!diagnostico.Corrigivel()) {
        return;
    }
    if (!opcoes.prepararRede) {
        Dizer(erros, "Use --preparar-rede para adicionar à interface " + diagnostico.interface +
                         ", durante esta execução, um endereço livre de " +
                         IpParaTexto(kRedeFabrica | kPrimeiroFinalTemporario << 24, true) +
                         " em diante.");
        return;
    }
    ResultadoPreparacao r = EscolherEnderecoTemporario(diagnostico);
    if (r.resultado == Preparacao::Pronto) {
        r = AdicionarEnderecoTemporario(r.endereco);
    }
    Dizer(erros, r.resultado == Preparacao::Pronto
                     ? "Endereço temporário " + r.endereco.Texto() + " adicionado à interface " +
                           r.endereco.interface + " até o fim desta execução."
                     : r.texto);
}

void DesfazerRede(std::ostream& erros) {
    std::string texto;
    RemoverEnderecoTemporario(texto);
    if (!texto.empty()) {
        Dizer(erros, texto);
    }
}

}  // namespace tvx::cli
