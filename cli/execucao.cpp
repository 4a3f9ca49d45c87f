#include "cli/execucao.h"

#include "cli/rede.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/listagens.h"
#include "cli/resumo.h"
#include "core/thread_programar.h"
#include "paginas/execucao_acao.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"
#include "paginas/valores.h"
#include "persistence/locais.h"
#include "persistence/log.h"
#include "persistence/os/arquivos.h"
#include "persistence/rastro_arquivo.h"

namespace tvx::cli {

namespace {

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

// The values' refusals and the page's boxes on the error output, after the
// program's name: a box's text as the wizard shows it (scripts compare it)
// before the row and the option it is about; the rest worded for the option
// that carried the value.
class RecusasTerminal : public cRecusasValores {
  public:
    RecusasTerminal(const Opcoes& opcoes, std::ostream& erros) : opcoes_(opcoes), erros_(erros) {}
    void Mostrar(TipoAviso, const std::string& texto) override { Dizer(texto); }
    void MostrarSobre(TipoAviso, const std::string& texto, const std::string& rotulo) override {
        Dizer(texto + " (linha \"" + rotulo + "\": " + OpcaoDaLinha(rotulo) + ")");
    }
    void Avisar(const std::string& texto) override { Dizer(texto); }
    void Recusar(const Recusa& r) override {
        switch (r.tipo) {
            case TipoRecusa::ModeloInvalido:
                Dizer(r.texto + " (--model 1 a 34; --list-models mostra o catálogo)");
                return;
            case TipoRecusa::MeioInvalido:
                Dizer(r.texto + " (--medium 0, 1 ou 2)");
                return;
            case TipoRecusa::MeioNaoOferecido:
                Dizer(r.texto);
                return;
            case TipoRecusa::EnderecoForaDoMeio:
                Dizer("--address " + r.texto);
                return;
            case TipoRecusa::FaltaEndereco:
                Dizer(r.texto + ": use --address");
                return;
            case TipoRecusa::Valor:
                break;
        }
        // A label the model does not have lists the ones it has.
        const std::string texto =
            r.rotuloDesconhecido
                ? r.texto + "\nRótulos deste modelo:" + RotulosValidos(r.rotulosDoModelo)
                : r.texto;
        switch (r.campo) {
            case CampoValor::Ip:
                Dizer("--ip: " + texto);
                return;
            case CampoValor::Mascara:
                Dizer("--mask: " + texto);
                return;
            case CampoValor::Gateway:
                Dizer("--gateway: " + texto);
                return;
            default: {
                const auto& [rotulo, valor] = opcoes_.parametros.at(r.parametro);
                Dizer("--param '" + rotulo + "=" + valor + "': " + texto);
            }
        }
    }

  private:
    void Dizer(const std::string& texto) {
        erros_ << kNomePrograma << ": " << texto << '\n' << std::flush;
    }
    const Opcoes& opcoes_;
    std::ostream& erros_;
};

struct Falha {
    std::ostream& erros;
    int operator()(const std::string& texto) const {
        erros << kNomePrograma << ": " << texto << '\n' << std::flush;
        return kSaidaRecusa;
    }
};

// "Ler Configuração" and the start's load.
std::optional<int> CarregarPerfil(const Opcoes& o, cEquipamento& eq, const Falha& falha) {
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
    return std::nullopt;
}

ValoresEquipamento ValoresDasOpcoes(const Opcoes& o) {
    ValoresEquipamento v;
    v.modelo = o.modelo;
    v.meio = o.meio;
    v.endereco = o.endereco;
    v.porta = o.porta;
    v.velocidade = o.velocidade;
    v.rtu = o.rtu;
    v.ip = o.ip;
    v.mascara = o.mascara;
    v.gateway = o.gateway;
    for (const auto& [rotulo, valor] : o.parametros) {
        v.parametros.push_back({rotulo, valor});
    }
    // A read sends no address: the blank one of a fresh profile is no reason
    // to refuse it.
    v.enderecoNovoUsado = o.acao != Acao::Ler;
    return v;
}

// The profile, then pages 1 to 3.
std::optional<int> AplicarOpcoes(const Opcoes& o, cEquipamento& eq, const Falha& falha) {
    if (std::optional<int> r = CarregarPerfil(o, eq, falha)) {
        return r;
    }
    RecusasTerminal recusas(o, falha.erros);
    if (!AplicarValores(ValoresDasOpcoes(o), eq, recusas)) {
        return kSaidaRecusa;
    }
    return std::nullopt;
}

// The last line on the error output of a stopped run: what the device was
// left with, and the exit code that says the same to a script.
int EstadoAoParar(EstadoEquipamento estado, const cEquipamento& eq, std::ostream& erros) {
    int codigo = kSaidaParadaIncerto;
    switch (estado) {
        case EstadoEquipamento::Intacto:
        case EstadoEquipamento::Alterado:
            codigo = kSaidaParadaSemIp;
            break;
        case EstadoEquipamento::Programado:
        case EstadoEquipamento::Reiniciando:
            codigo = kSaidaParadaProgramado;
            break;
        case EstadoEquipamento::Incerto:
            break;
    }
    erros << kNomePrograma << ": interrompido: " << TextoEstadoDoEquipamento(estado, eq)
          << " (código " << codigo << ")\n"
          << std::flush;
    return codigo;
}

int ExecutarAcao(Acao acao, cEquipamento& eq, const std::string& arquivoLog, std::ostream& saida,
                 std::ostream& erros) {
    cLog log;
    log.DefinirArquivo(arquivoLog);
    const uint32_t codigo = acao == Acao::Programar ? kAcaoProgramar
                            : acao == Acao::Testar  ? kAcaoTestar
                                                    : kAcaoLer;
    bool escreverSaida = true;
    bool falhaLogDita = false;
    cExecucaoAcao execucao(eq, codigo, [&](const std::string& texto, const std::string& motivo) {
        // A log that cannot be written is said once; the run goes on.
        if (const os::ResultadoArquivo r = AdicionarLinha(texto, log, saida, escreverSaida);
            !r.Ok() && !falhaLogDita) {
            falhaLogDita = true;
            erros << kNomePrograma << ": " << TextoFalhaLog(arquivoLog, r) << '\n' << std::flush;
        }
        // Beside the run's line of a link that could not be opened: why.
        if (!motivo.empty()) {
            erros << kNomePrograma << ": " << motivo << '\n' << std::flush;
        }
    });
    execucao.Iniciar();

    const sigset_t sinais = SinaisDeParada();
    const timespec agora{0, 0};
    for (;;) {
        if (sigtimedwait(&sinais, nullptr, &agora) > 0) {
            if (execucao.Parando()) {
                // A second request: leave now, the run's link dies with the
                // process; the temporary address must not stay behind. The
                // state is what the run knew at this moment.
                saida << std::flush;
                DesfazerRede(erros);
                std::_Exit(EstadoAoParar(execucao.EstadoDoEquipamento(), eq, erros));
            }
            execucao.Parar();
        }
        if (!execucao.Acompanhar(std::chrono::milliseconds(50))) {
            break;
        }
    }
    if (execucao.Parando()) {
        // The address goes before the last line, which says what the device
        // was left with.
        DesfazerRede(erros);
        return EstadoAoParar(execucao.EstadoDoEquipamento(), eq, erros);
    }
    if (!execucao.Sucesso()) {
        return kSaidaFalha;
    }
    return execucao.SemProgramacaoIp() ? kSaidaConflito : kSaidaSucesso;
}

// --list-params: the rows of page 3 for the model of the options or the
// profile, as the page would build them.
int ListarParametrosDoModelo(const Opcoes& o, cEquipamento& eq, const Falha& falha,
                             std::ostream& saida) {
    if (std::optional<int> r = CarregarPerfil(o, eq, falha)) {
        return *r;
    }
    RecusasTerminal recusas(o, falha.erros);
    cPropertyRows linhas;
    if (!ConstruirLinhasDoModelo(ValoresDasOpcoes(o), eq, linhas, recusas)) {
        return kSaidaRecusa;
    }
    saida << "Modelo " << NomeDoModelo(eq.GetModelo()) << ", família "
          << static_cast<int>(eq.Familia()) << ": linhas da página de parâmetros (--param "
          << "'RÓTULO=VALOR')\n";
    ListarParametros(linhas, saida);
    return kSaidaSucesso;
}

}  // namespace

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

os::ResultadoArquivo AdicionarLinha(const std::string& texto, cLog& log, std::ostream& saida,
                                    bool& escreverSaida) {
    const os::ResultadoArquivo gravado = log.Escrever(texto);
    if (escreverSaida) {
        saida << ParaTerminal(texto) << '\n' << std::flush;
        escreverSaida = static_cast<bool>(saida);
    }
    return gravado;
}

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
    if (std::optional<int> r = AplicarOpcoes(opcoes, equipamento, falha)) {
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
