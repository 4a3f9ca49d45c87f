#include "cli/plano_cli.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/execucao.h"
#include "cli/opcoes.h"
#include "cli/rede.h"
#include "core/thread_programar.h"
#include "plano/execucao_plano.h"
#include "plano/relatorio.h"

namespace tvx::cli {

namespace {

using plano::cExecucaoPlano;
using plano::EstadoLinha;
using plano::Fase;

struct OpcoesPlano {
    std::string plano;
    std::string relatorio;
    bool sim = false;
    bool prepararRede = false;
    bool ajuda = false;
    std::vector<size_t> repetir;  // device numbers, from 1
};

std::string TextoAjudaPlano() {
    return R"ajuda(Uso: tvxnetcfg-cli plan PLANO.csv [--report PASTA] [--yes] [--repetir N]
                         [--preparar-rede]

Programa os equipamentos de um plano um depois do outro, cada um com as
regras, as mensagens e as linhas de uma execução de tvxnetcfg-cli.

O PLANO é uma planilha salva como CSV (separador ; ou , ; UTF-8 ou
Windows-1252): uma linha de cabeçalho e uma linha por equipamento. Colunas:
  modelo      número do catálogo (1 a 34) ou o nome exato do modelo
  meio        0 IP Default (192.168.0.101), 1 Este IP, 2 Serial (padrão 0)
  endereco    IP do equipamento para o meio 1
  porta, velocidade, rtu   a porta serial do meio 2
  ip, mascara, gateway     o novo IP, a nova máscara e o novo gateway
  acoes       program, test e read, em qualquer combinação, executados
              nessa ordem (padrão: program e depois read, quando o modelo
              tem leitura)
  e qualquer rótulo da página de parâmetros ("Alterar MAC?", "MAC
  (xx:xx:xx:xx:xx:xx)", "Faixa de RTU", ...), com os valores de --param.
  Uma célula vazia deixa o valor padrão. Uma coluna desconhecida é um erro.
  Os nomes das colunas do plano vão em minúsculas como acima ("rtu" é o RTU
  da porta serial; "RTU" é a linha da página de parâmetros).
O plano inteiro é conferido antes de qualquer envio; cada erro diz a linha
(a da planilha: o cabeçalho é a linha 1) e a coluna. O plano em si nunca é
alterado. Cada equipamento começa dos valores padrão: tvxnetcfg.ini não é
lido nem gravado.

Antes de cada equipamento a pergunta
  Conecte o equipamento 3 de 30: TVX5150S, novo IP 10.20.0.13 — Enter
  continua, p pula, q encerra
é respondida com uma linha (Enter, p ou q, e Enter). Um equipamento que
falha não para o plano: r repete, p passa ao próximo, q encerra.

OPÇÕES
  --report PASTA   onde ficam relatorio.html, relatorio.csv e o log de cada
                   equipamento (padrão: PLANO.relatorio ao lado do plano);
                   o relatório é refeito depois de cada equipamento
  --yes            não pergunta: continua em cada equipamento e passa ao
                   próximo depois de uma falha (para simuladores e scripts)
  --repetir N      executa de novo o equipamento N (1 é o primeiro do plano)
                   mesmo que já esteja feito ou interrompido; pode repetir,
                   e N pode ser uma lista: --repetir 2,5
  --preparar-rede  como numa execução: o endereço temporário, quando é
                   preciso, fica até o fim do plano
  --help           mostra este texto

ESTADO E RETOMADA
  O que aconteceu com cada equipamento fica em PLANO.estado.csv, ao lado do
  plano, gravado antes de cada equipamento começar e depois de terminar.
  Executar o mesmo plano de novo continua no primeiro equipamento não feito.
  Um equipamento feito não é repetido. Um equipamento que estava em execução
  quando o programa foi morto fica "interrompido": pode já estar
  programado, e só é repetido se pedido (r na pergunta, ou --repetir N);
  com --yes ele é deixado como está.
  Ctrl+C durante um equipamento para a execução dele como "P&arar" (ele fica
  interrompido) e encerra o plano; um segundo Ctrl+C sai na hora.

SAÍDA
  As linhas de cada execução vão para a saída padrão e para o log do
  equipamento; as perguntas, o resultado de cada equipamento e o resumo, para
  a saída de erros. Código de saída: 0 quando todos os equipamentos do plano
  estão feitos, 1 quando não, 2 para opções ou um plano recusados.
)ajuda";
}

bool LerRepetir(const std::string& valor, std::vector<size_t>& numeros) {
    size_t i = 0;
    while (i <= valor.size()) {
        const size_t fim = std::min(valor.find(',', i), valor.size());
        const std::string parte = valor.substr(i, fim - i);
        if (parte.empty() || parte.size() > 6 ||
            parte.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const size_t n = std::stoul(parte);
        if (n == 0) {
            return false;
        }
        numeros.push_back(n);
        i = fim + 1;
    }
    return true;
}

bool LerOpcoesPlano(int argc, const char* const* argv, OpcoesPlano& o, std::string& erro) {
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.ajuda = true;
        } else if (arg == "--yes") {
            o.sim = true;
        } else if (arg == "--preparar-rede") {
            o.prepararRede = true;
        } else if (arg == "--report" || arg == "--repetir" || arg.rfind("--report=", 0) == 0 ||
                   arg.rfind("--repetir=", 0) == 0) {
            std::string valor;
            if (const size_t igual = arg.find('='); igual != std::string::npos) {
                valor = arg.substr(igual + 1);
                arg.resize(igual);
            } else if (i + 1 < argc) {
                valor = argv[++i];
            } else {
                erro = arg + " precisa de um valor";
                return false;
            }
            if (arg == "--report") {
                if (valor.empty()) {
                    erro = "--report precisa do caminho de uma pasta";
                    return false;
                }
                o.relatorio = valor;
            } else if (!LerRepetir(valor, o.repetir)) {
                erro = "--repetir precisa do número de um equipamento do plano (1, 2, ...): \"" +
                       valor + "\"";
                return false;
            }
        } else if (arg.rfind("-", 0) == 0) {
            erro = "opção desconhecida para plan: " + arg;
            return false;
        } else if (o.plano.empty()) {
            o.plano = arg;
        } else {
            erro = "só um plano por vez: \"" + arg + "\"";
            return false;
        }
    }
    if (!o.ajuda && o.plano.empty()) {
        erro = "falta o arquivo do plano: tvxnetcfg-cli plan PLANO.csv";
        return false;
    }
    return true;
}

enum class Resposta { Linha, Fim, Sinal };

class Terminal : public plano::cObservadorPlano {
  public:
    Terminal(const OpcoesPlano& opcoes, std::ostream& saida, std::ostream& erros)
        : opcoes_(opcoes), saida_(saida), erros_(erros) {}

    void Linha(size_t, const std::string& texto) override {
        if (escreverSaida_) {
            saida_ << ParaTerminal(texto) << '\n' << std::flush;
            escreverSaida_ = static_cast<bool>(saida_);
        }
    }
    void AntesDoEquipamento(size_t, const cEquipamento& equipamento, uint32_t acao) override {
        Opcoes uma;
        uma.acao = acao == kAcaoProgramar ? Acao::Programar
                   : acao == kAcaoTestar  ? Acao::Testar
                                          : Acao::Ler;
        uma.prepararRede = opcoes_.prepararRede;
        PrepararRede(uma, equipamento, erros_);
    }
    void Aviso(const std::string& texto) override { Dizer(texto); }

    void Dizer(const std::string& texto) {
        erros_ << kNomePrograma << ": " << texto << '\n' << std::flush;
    }

    // The question on the error output, the answer a line of the standard
    // input; the signals that stop a run are taken meanwhile.
    Resposta Perguntar(const std::string& pergunta, std::string& resposta) {
        // What was typed while the device ran must not answer for the next one.
        if (isatty(STDIN_FILENO)) {
            tcflush(STDIN_FILENO, TCIFLUSH);
        }
        erros_ << pergunta << ' ' << std::flush;
        resposta.clear();
        const sigset_t sinais = SinaisDeParada();
        const timespec agora{0, 0};
        for (;;) {
            if (sigtimedwait(&sinais, nullptr, &agora) > 0) {
                erros_ << '\n' << std::flush;
                return Resposta::Sinal;
            }
            pollfd entrada{STDIN_FILENO, POLLIN, 0};
            if (poll(&entrada, 1, 100) <= 0) {
                continue;
            }
            char c = 0;
            const ssize_t lido = read(STDIN_FILENO, &c, 1);
            if (lido <= 0) {
                erros_ << '\n' << std::flush;
                return Resposta::Fim;
            }
            if (c == '\n') {
                while (!resposta.empty() && (resposta.back() == '\r' || resposta.back() == ' ')) {
                    resposta.pop_back();
                }
                while (!resposta.empty() && resposta.front() == ' ') {
                    resposta.erase(0, 1);
                }
                if (resposta.size() == 1) {
                    resposta[0] = static_cast<char>(std::tolower(resposta[0]));
                }
                return Resposta::Linha;
            }
            if (resposta.size() < 80) {
                resposta += c;
            }
        }
    }

  private:
    const OpcoesPlano& opcoes_;
    std::ostream& saida_;
    std::ostream& erros_;
    bool escreverSaida_ = true;
};

// One device's run, stopped by the signals as a single run is. True when it
// was stopped.
bool Acompanhar(cExecucaoPlano& execucao, std::ostream& saida, std::ostream& erros) {
    const sigset_t sinais = SinaisDeParada();
    const timespec agora{0, 0};
    bool parando = false;
    for (;;) {
        if (sigtimedwait(&sinais, nullptr, &agora) > 0) {
            if (parando) {
                // The device stays marked as running: the next start offers
                // it as interrupted.
                saida << std::flush;
                DesfazerRede(erros);
                std::_Exit(kSaidaFalha);
            }
            parando = true;
            execucao.Parar();
        }
        if (!execucao.Acompanhar(std::chrono::milliseconds(50))) {
            return parando;
        }
    }
}

void Conduzir(cExecucaoPlano& execucao, Terminal& terminal, const OpcoesPlano& opcoes,
              std::ostream& saida, std::ostream& erros) {
    for (;;) {
        const Fase fase = execucao.FaseAtual();
        if (fase == Fase::Fim) {
            return;
        }
        const size_t i = *execucao.Atual();
        const std::string numero = std::to_string(i + 1);
        if (fase == Fase::Execucao) {
            const bool parado = Acompanhar(execucao, saida, erros);
            const plano::ResultadoDispositivo& r = execucao.Estado().resultados[i];
            terminal.Dizer("equipamento " + numero + ": " + plano::TextoEstado(r.estado) +
                           (r.estado == EstadoLinha::Feito ? "" : " (" + r.ultimaLinha + ")"));
            if (parado) {
                execucao.Encerrar();
            }
            continue;
        }
        if (opcoes.sim) {
            if (fase == Fase::Decisao) {
                execucao.Pular();
            } else if (execucao.ExigeRepetir()) {
                terminal.Dizer("equipamento " + numero +
                               " interrompido numa execução anterior: fica como está (use "
                               "--repetir " +
                               numero + " para repeti-lo)");
                execucao.Pular();
            } else if (!execucao.Continuar()) {
                execucao.Encerrar();
            }
            continue;
        }
        std::string resposta;
        switch (terminal.Perguntar(execucao.Pergunta(), resposta)) {
            case Resposta::Sinal:
                execucao.Encerrar();
                continue;
            case Resposta::Fim:
                terminal.Dizer("sem resposta (fim da entrada): o plano para aqui");
                execucao.Encerrar();
                continue;
            case Resposta::Linha:
                break;
        }
        if (resposta == "q") {
            execucao.Encerrar();
        } else if (resposta == "p") {
            execucao.Pular();
        } else if (resposta == "r" && (fase == Fase::Decisao || execucao.ExigeRepetir())) {
            if (!execucao.Repetir()) {
                execucao.Encerrar();
            }
        } else if (resposta.empty() && fase == Fase::Oferta && !execucao.ExigeRepetir()) {
            if (!execucao.Continuar()) {
                execucao.Encerrar();
            }
        }
        // Anything else asks again.
    }
}

}  // namespace

int ExecutarPlano(int argc, const char* const* argv, std::ostream& saida, std::ostream& erros) {
    OpcoesPlano opcoes;
    std::string erro;
    if (!LerOpcoesPlano(argc, argv, opcoes, erro)) {
        erros << kNomePrograma << ": " << erro << "\nUse " << kNomePrograma
              << " plan --help para ver as opções.\n";
        return kSaidaRecusa;
    }
    if (opcoes.ajuda) {
        saida << TextoAjudaPlano();
        return kSaidaSucesso;
    }
    Terminal terminal(opcoes, saida, erros);
    RemoverSobrasDeRede(erros);

    plano::Plano dados;
    std::vector<std::string> erros_plano;
    if (!plano::LerPlano(opcoes.plano, dados, erros_plano)) {
        for (const std::string& e : erros_plano) {
            terminal.Dizer(opcoes.plano + ": " + e);
        }
        return kSaidaRecusa;
    }
    for (const plano::Dispositivo& d : dados.dispositivos) {
        for (const std::string& aviso : d.avisos) {
            terminal.Dizer(opcoes.plano + ": " + aviso);
        }
    }
    const size_t quantidade = dados.dispositivos.size();
    cExecucaoPlano execucao(std::move(dados), opcoes.relatorio, terminal);
    for (size_t n : opcoes.repetir) {
        if (n > quantidade) {
            terminal.Dizer("--repetir " + std::to_string(n) + ": o plano tem " +
                           std::to_string(quantidade) + " equipamentos");
            return kSaidaRecusa;
        }
        execucao.RepetirTambem(n - 1);
    }
    if (!execucao.Abrir(erro)) {
        terminal.Dizer(opcoes.plano + ": " + erro);
        return kSaidaRecusa;
    }
    terminal.Dizer("plano " + opcoes.plano + ": " + plano::TextoResumo(execucao.Estado()));
    terminal.Dizer("estado em " + execucao.ArquivoEstado() + "; relatório e logs em " +
                   execucao.PastaRelatorio());

    Conduzir(execucao, terminal, opcoes, saida, erros);
    DesfazerRede(erros);

    terminal.Dizer(plano::TextoResumo(execucao.Estado()));
    terminal.Dizer("relatório: " + execucao.PastaRelatorio() + "/" + plano::kRelatorioHtml);
    for (const plano::ResultadoDispositivo& r : execucao.Estado().resultados) {
        if (r.estado != EstadoLinha::Feito) {
            return kSaidaFalha;
        }
    }
    return kSaidaSucesso;
}

}  // namespace tvx::cli
