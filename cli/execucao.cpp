#include "cli/execucao.h"

#include "cli/rede.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "cli/listagens.h"
#include "cli/resumo.h"
#include "core/catalogo.h"
#include "core/progresso.h"
#include "core/thread_programar.h"
#include "paginas/avisos.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"
#include "persistence/locais.h"
#include "persistence/log.h"
#include "persistence/os/arquivos.h"
#include "persistence/rastro_arquivo.h"

namespace tvx::cli {

namespace {

constexpr const char* kSelecioneEquipamento = "Selecione um equipamento";
constexpr const char* kSelecioneMeio = "Selecione um meio de comunicação.";
constexpr const char* kFinalizandoTarefas = "Finalizando tarefas...";
constexpr const char* kTarefasFinalizadas = "Tarefas finalizadas.";
constexpr const char* kLinhaSemProgramacaoDeIp = "Programação de IP não será feita.";
constexpr uint32_t kPrimeiroModelo = 1;
constexpr uint32_t kUltimoModelo = 34;

// The option that fills a row of the parameters page.
std::string OpcaoDaLinha(const std::string& rotulo) {
    if (MesmoRotulo(rotulo, kRotuloIp)) {
        return "--ip";
    }
    if (MesmoRotulo(rotulo, kRotuloMascara)) {
        return "--mask";
    }
    if (MesmoRotulo(rotulo, kRotuloGateway)) {
        return "--gateway";
    }
    return "--param '" + rotulo + "=...'";
}

// The page's message boxes become lines on the error output: the box's text
// as the wizard shows it (scripts compare it), after the program's name and
// before the row and the option it is about.
class AvisosTerminal : public cAvisos {
  public:
    explicit AvisosTerminal(std::ostream& erros) : erros_(erros) {}
    void Mostrar(TipoAviso, const std::string& texto) override {
        erros_ << kNomePrograma << ": " << texto << '\n' << std::flush;
    }
    void MostrarSobre(TipoAviso, const std::string& texto, const std::string& rotulo) override {
        erros_ << kNomePrograma << ": " << texto << " (linha \"" << rotulo
               << "\": " << OpcaoDaLinha(rotulo) << ")\n"
               << std::flush;
    }
    // Nobody to answer: the safe answer.
    bool Perguntar(const std::string&) override { return false; }

  private:
    std::ostream& erros_;
};

struct Falha {
    std::ostream& erros;
    int operator()(const std::string& texto) const {
        erros << kNomePrograma << ": " << texto << '\n' << std::flush;
        return kSaidaRecusa;
    }
};

std::string NomeDoModelo(uint32_t modelo) {
    std::string nome;
    ObtemNomeModelo(modelo, nome);
    return std::to_string(modelo) + " (" + nome + ")";
}

// Page 1, as "Ler Configuração" and Next would leave the object.
std::optional<int> AplicarModelo(const Opcoes& o, cEquipamento& eq, const Falha& falha) {
    if (o.configuracao) {
        std::error_code ec;
        const std::filesystem::path caminho = std::filesystem::absolute(*o.configuracao, ec);
        // The file dialog only offers files that exist: a mistyped name must not
        // silently run with the defaults (the factory address among them).
        if (ec || !os::ArquivoExiste(caminho.string())) {
            return falha("não foi possível ler o arquivo de configuração \"" + *o.configuracao +
                         "\"");
        }
        eq.caminhoConfiguracao = caminho.string();
    }
    // Nor may a file that is there but could not be read.
    std::string erro;
    if (!eq.Configuracao(false, &erro)) {
        return falha(erro);
    }
    if (o.modelo) {
        eq.SetModelo(*o.modelo);
    }
    if (eq.GetModelo() < kPrimeiroModelo || eq.GetModelo() > kUltimoModelo) {
        return falha(std::string(kSelecioneEquipamento) +
                     " (--model 1 a 34; --list-models mostra o catálogo)");
    }
    eq.CarregaInfoModelo();
    return std::nullopt;
}

// Page 2, as its refresh and Next would leave the object.
std::optional<int> AplicarMeio(const Opcoes& o, cEquipamento& eq, const Falha& falha) {
    uint32_t meio = o.meio.value_or(eq.GetMeio());
    if (o.meio) {
        const bool oferecido = meio == kMeioIpPadrao ? eq.PermiteIpDefault()
                               : meio == kMeioEsteIp ? eq.PermiteEsteIp()
                                                     : eq.PermiteSerial();
        if (!oferecido) {
            return falha("o modelo " + NomeDoModelo(eq.GetModelo()) + " não oferece o meio " +
                         std::to_string(meio));
        }
    } else if (meio > kMeioSerial) {
        return falha(std::string(kSelecioneMeio) + " (--medium 0, 1 ou 2)");
    } else if (meio == kMeioSerial && !eq.PermiteSerial()) {
        // What the page does when it is shown; said aloud here, because it
        // turns the run towards the factory address.
        meio = kMeioIpPadrao;
        falha.erros << kNomePrograma << ": o modelo " << NomeDoModelo(eq.GetModelo())
                    << " não tem porta serial: meio 0, IP Default (" << kIpFabrica << ")\n"
                    << std::flush;
    }
    eq.SetMeio(meio);

    if (o.endereco && meio != kMeioEsteIp) {
        return falha("--address vale só para o meio 1 (Este IP); o meio é " + std::to_string(meio));
    }
    const std::string endereco = o.endereco.value_or(eq.GetIpProgramacao());
    if (meio == kMeioEsteIp) {
        const std::optional<std::string> valido = TextoDoCampoIp(endereco);
        if (!valido || valido->empty()) {
            return falha("o meio 1 (Este IP) precisa de um endereço: use --address");
        }
        eq.SetIpProgramacao(*valido);
    } else {
        eq.SetIpProgramacao(meio == kMeioIpPadrao ? std::string(kIpFabrica) : endereco);
    }

    // The serial settings are committed whatever the medium, over the defaults.
    const std::string porta = o.porta.value_or(eq.GetPorta());
    const uint8_t velocidade = o.velocidade.value_or(eq.GetVelocidade());
    const uint8_t rtu = o.rtu.value_or(eq.GetRtu());
    eq.PadraoSerial();
    eq.SetPorta(porta);
    eq.SetVelocidade(velocidade);
    eq.SetRtu(rtu);
    return std::nullopt;
}

// One row set from an option; a label the model does not have lists the
// ones it has.
bool Aplicar(cPropertyRows& linhas, const std::string& rotulo, const std::string& valor,
             std::string& erro) {
    if (AplicarParametro(linhas, rotulo, valor, erro)) {
        return true;
    }
    if (!linhas.Procurar(rotulo)) {
        erro += "\nRótulos deste modelo:" + RotulosValidos(linhas);
    }
    return false;
}

// Page 3's rows from the object, with the gateway function of the options
// first: a new function rebuilds the rows from the object, which would throw
// away whatever had been set before it.
std::optional<int> ConstruirLinhas(const Opcoes& o, cEquipamento& eq, cPropertyRows& linhas,
                                   const Falha& falha) {
    linhas.aoEscolher = [&eq, &linhas](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
    ConstruirParametros(eq, linhas);
    std::string erro;
    for (const auto& [rotulo, valor] : o.parametros) {
        if (MesmoRotulo(rotulo, kRotuloFuncaoGateway) && !Aplicar(linhas, rotulo, valor, erro)) {
            return falha("--param '" + rotulo + "=" + valor + "': " + erro);
        }
    }
    return std::nullopt;
}

// Page 3: the rows, the technician's values, the checks of Next.
std::optional<int> AplicarParametros(const Opcoes& o, cEquipamento& eq, const Falha& falha,
                                     std::ostream& erros) {
    cPropertyRows linhas;
    if (std::optional<int> r = ConstruirLinhas(o, eq, linhas, falha)) {
        return r;
    }
    std::string erro;
    const std::pair<const std::optional<std::string>*, const char*> enderecos[] = {
        {&o.ip, kRotuloIp}, {&o.mascara, kRotuloMascara}, {&o.gateway, kRotuloGateway}};
    const char* opcoes[] = {"--ip", "--mask", "--gateway"};
    for (size_t i = 0; i < 3; ++i) {
        const auto& [valor, rotulo] = enderecos[i];
        if (*valor && !Aplicar(linhas, rotulo, **valor, erro)) {
            return falha(std::string(opcoes[i]) + ": " + erro);
        }
    }
    for (const auto& [rotulo, valor] : o.parametros) {
        if (!MesmoRotulo(rotulo, kRotuloFuncaoGateway) && !Aplicar(linhas, rotulo, valor, erro)) {
            return falha("--param '" + rotulo + "=" + valor + "': " + erro);
        }
    }

    AvisosTerminal avisos(erros);
    // A read sends no address: the blank one of a fresh profile is no reason
    // to refuse it.
    if (!ConfirmarParametros(eq, linhas, avisos, *o.acao != Acao::Ler)) {
        return kSaidaRecusa;
    }
    return std::nullopt;
}

std::string ParaTerminal(const std::string& texto) {
    std::string saida;
    saida.reserve(texto.size());
    for (size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') {
            continue;
        }
        saida.push_back(texto[i]);
    }
    return saida;
}

// The last line on the error output of a stopped run: what the device was
// left with, and the exit code that says the same to a script.
int EstadoAoParar(const cThreadProgramar& trabalho, const cEquipamento& eq, std::ostream& erros) {
    const std::string ip = eq.GetIpNovo();
    std::string texto;
    int codigo = kSaidaParadaIncerto;
    switch (trabalho.estado.load()) {
        case EstadoEquipamento::Intacto:
            texto = "equipamento não programado (nada que o altere foi enviado)";
            codigo = kSaidaParadaSemIp;
            break;
        case EstadoEquipamento::Alterado:
            texto = "IP não programado; os passos extras já aceitos ficaram no equipamento";
            codigo = kSaidaParadaSemIp;
            break;
        case EstadoEquipamento::Incerto:
            texto =
                "estado do equipamento desconhecido (parado com uma programação a caminho); "
                "leia-o com read antes de repetir";
            codigo = kSaidaParadaIncerto;
            break;
        case EstadoEquipamento::Programado:
            texto = "equipamento programado com o IP " + ip;
            if (eq.PermiteReset() && !eq.ModeloComDip()) {
                texto += "; não foi reiniciado: desligue e ligue o equipamento para o IP valer";
            }
            codigo = kSaidaParadaProgramado;
            break;
        case EstadoEquipamento::Reiniciando:
            texto = "equipamento programado com o IP " + ip +
                    " e reiniciando; em uns 10 s ele responde no IP novo (use test)";
            codigo = kSaidaParadaProgramado;
            break;
    }
    erros << kNomePrograma << ": interrompido: " << texto << " (código " << codigo << ")\n"
          << std::flush;
    return codigo;
}

int ExecutarAcao(Acao acao, cEquipamento& eq, const std::string& arquivoLog, std::ostream& saida,
                 std::ostream& erros) {
    FilaProgresso fila;
    cThreadProgramar trabalho(eq);
    cLog log;
    log.DefinirArquivo(arquivoLog);

    const char* linhaDeSucesso = nullptr;
    uint32_t codigo = kAcaoLer;
    switch (acao) {
        case Acao::Programar:
            codigo = kAcaoProgramar;
            linhaDeSucesso = "Programação finalizada.";
            break;
        case Acao::Testar:
            codigo = kAcaoTestar;
            linhaDeSucesso = "IP programado OK.";
            break;
        case Acao::Ler:
            codigo = kAcaoLer;
            linhaDeSucesso = "Leitura finalizada.";
            break;
    }
    bool sucesso = false;
    bool conflito = false;
    // The log first: a terminal that went away (a pipe closed by its reader,
    // an SSH session dropped) must not take the line with it, nor end the
    // run. After a failed write the terminal gets nothing more.
    bool escreverSaida = true;
    bool falhaLogDita = false;
    auto adicionar = [&](const std::string& texto) {
        // A log that cannot be written is said once; the run goes on.
        if (const os::ResultadoArquivo r = log.Escrever(texto); !r.Ok() && !falhaLogDita) {
            falhaLogDita = true;
            erros << kNomePrograma << ": " << TextoFalhaLog(arquivoLog, r) << '\n' << std::flush;
        }
        if (escreverSaida) {
            saida << ParaTerminal(texto) << '\n' << std::flush;
            escreverSaida = static_cast<bool>(saida);
        }
        if (texto == linhaDeSucesso) {
            sucesso = true;
        }
        if (texto == kLinhaSemProgramacaoDeIp) {
            conflito = true;
        }
        // Beside the run's line of a link that could not be opened: why.
        if (const std::string motivo = trabalho.RetirarMotivoFalha(texto); !motivo.empty()) {
            erros << kNomePrograma << ": " << motivo << '\n' << std::flush;
        }
    };

    trabalho.janela = &fila;
    trabalho.acao = codigo;
    trabalho.Inicia();

    const sigset_t sinais = SinaisDeParada();
    const timespec agora{0, 0};
    std::thread parador;
    std::atomic<bool> parado{false};
    bool parando = false;
    for (;;) {
        if (sigtimedwait(&sinais, nullptr, &agora) > 0) {
            if (parando) {
                // A second request: leave now, the run's link dies with the
                // process; the temporary address must not stay behind. The
                // state is what the run knew at this moment.
                saida << std::flush;
                DesfazerRede(erros);
                std::_Exit(EstadoAoParar(trabalho, eq, erros));
            }
            parando = true;
            adicionar(kFinalizandoTarefas);
            // The wait is the worker's: the lines it posts meanwhile still show.
            parador = std::thread([&] {
                trabalho.Para();
                parado = true;
            });
        }
        if (std::optional<LinhaProgresso> linha = fila.Retirar(std::chrono::milliseconds(50))) {
            adicionar(linha->texto);
            continue;
        }
        const bool terminou = parando ? parado.load() : !trabalho.EmExecucao(0);
        if (terminou) {
            while (std::optional<LinhaProgresso> resto =
                       fila.Retirar(std::chrono::milliseconds(0))) {
                adicionar(resto->texto);
            }
            break;
        }
    }
    if (parador.joinable()) {
        parador.join();
    }
    if (parando) {
        adicionar(kTarefasFinalizadas);
        // The address goes before the last line, which says what the device
        // was left with.
        DesfazerRede(erros);
        return EstadoAoParar(trabalho, eq, erros);
    }
    if (!sucesso) {
        return kSaidaFalha;
    }
    return conflito ? kSaidaConflito : kSaidaSucesso;
}

// --list-params: the rows of page 3 for the model of the options or the
// profile, as the page would build them.
int ListarParametrosDoModelo(const Opcoes& o, cEquipamento& eq, const Falha& falha,
                             std::ostream& saida) {
    if (std::optional<int> r = AplicarModelo(o, eq, falha)) {
        return *r;
    }
    cPropertyRows linhas;
    if (std::optional<int> r = ConstruirLinhas(o, eq, linhas, falha)) {
        return *r;
    }
    saida << "Modelo " << NomeDoModelo(eq.GetModelo()) << ", família "
          << static_cast<int>(eq.Familia()) << ": linhas da página de parâmetros (--param "
          << "'RÓTULO=VALOR')\n";
    ListarParametros(linhas, saida);
    return kSaidaSucesso;
}

}  // namespace

sigset_t SinaisDeParada() {
    sigset_t sinais;
    sigemptyset(&sinais);
    sigaddset(&sinais, SIGINT);
    sigaddset(&sinais, SIGTERM);
    sigaddset(&sinais, SIGHUP);
    return sinais;
}

int Executar(const Opcoes& opcoes, cEquipamento& equipamento, std::ostream& saida,
             std::ostream& erros) {
    const Falha falha{erros};
    if (opcoes.versao) {
        saida << kNomePrograma << ' ' << kVersaoCli << '\n';
        return kSaidaSucesso;
    }
    if (opcoes.listarModelos) {
        ListarModelos(saida);
        return kSaidaSucesso;
    }
    if (opcoes.listarPortas) {
        return ListarPortas(saida, erros) ? kSaidaSucesso : kSaidaFalha;
    }
    if (opcoes.listarParametros) {
        return ListarParametrosDoModelo(opcoes, equipamento, falha, saida);
    }
    RemoverSobrasDeRede(erros);
    // Without --config and --log, the files of a run started outside a
    // technician's folder go to the user's own folders.
    const LocaisArquivos locais = LocaisDosArquivos();
    equipamento.caminhoConfiguracao = locais.configuracao;
    const std::string arquivoLog = opcoes.log.empty() ? locais.log : opcoes.log;
    if (std::optional<int> r = AplicarModelo(opcoes, equipamento, falha)) {
        return *r;
    }
    if (std::optional<int> r = AplicarMeio(opcoes, equipamento, falha)) {
        return *r;
    }
    if (std::optional<int> r = AplicarParametros(opcoes, equipamento, falha, erros)) {
        return *r;
    }
    // A log that cannot be a log (a link, a folder, a pipe, a device node)
    // is refused before anything is saved or sent; so is a trace file.
    cLog log;
    log.DefinirArquivo(arquivoLog);
    if (const os::ResultadoArquivo r = log.Verificar(); !r.Ok()) {
        return falha(TextoFalhaLog(arquivoLog, r));
    }
    if (opcoes.rastro) {
        if (const os::ResultadoArquivo r = IniciarRastroEmArquivo(*opcoes.rastro); !r.Ok()) {
            return falha("--trace \"" + *opcoes.rastro + "\": " + os::MotivoFalha(r));
        }
    }
    const bool perfilExiste = os::ArquivoExiste(equipamento.CaminhoArquivoConfiguracao());
    std::string erro;
    if (opcoes.gravar && !equipamento.Configuracao(true, &erro)) {
        return falha(erro);
    }
    EscreverResumo(opcoes, equipamento, perfilExiste, erros);
    PrepararRede(opcoes, equipamento, erros);
    const int codigo = ExecutarAcao(*opcoes.acao, equipamento, arquivoLog, saida, erros);
    DesfazerRede(erros);
    return codigo;
}

}  // namespace tvx::cli
