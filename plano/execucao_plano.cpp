#include "plano/execucao_plano.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/utilitarios.h"
#include "persistence/os/arquivos.h"
#include "plano/relatorio.h"

namespace tvx::plano {

namespace {

constexpr const char* kInformacaoExtra = "INFORMAÇÃO EXTRA";
constexpr const char* kSemProgramacaoIp = "Programação de IP não será feita.";
constexpr const char* kRespostas = " — r repete, p pula, q encerra";
constexpr size_t kMaiorEstado = 16 * 1024 * 1024;

std::string Formatar(const char* formato, int a, int b, int c) {
    char texto[16];
    std::snprintf(texto, sizeof texto, formato, a, b, c);
    return texto;
}

std::string Data(const Relogio& r) {
    return Formatar("%02d/%02d/%04d", r.dia, r.mes, r.ano);
}

std::string Hora(const Relogio& r) {
    return Formatar("%02d:%02d:%02d", r.hora, r.minuto, r.segundo);
}

// The run posts the device's text with its own line breaks; the last one
// ends the text, it is no line of it.
std::string SemQuebraFinal(std::string texto) {
    while (!texto.empty() && (texto.back() == '\n' || texto.back() == '\r')) {
        texto.pop_back();
    }
    return texto;
}

// Whatever the object holds is written again: the plan was checked, this is
// only for the case that it was not.
class RecusasGuardadas : public cRecusasValores {
  public:
    void Recusar(const Recusa& r) override { texto = r.texto; }
    void Mostrar(TipoAviso, const std::string& t) override { texto = t; }
    void Avisar(const std::string&) override {}
    std::string texto;
};

}  // namespace

cExecucaoPlano::cExecucaoPlano(Plano plano, std::string pastaRelatorio,
                               cObservadorPlano& observador)
    : plano_(std::move(plano)), pasta_(std::move(pastaRelatorio)), observador_(observador) {
    if (pasta_.empty()) {
        const std::string estado = CaminhoEstado(plano_.caminho);
        pasta_ = estado.substr(0, estado.size() - std::string(".estado.csv").size()) + ".relatorio";
    }
    estado_.resultados.assign(plano_.dispositivos.size(), ResultadoDispositivo{});
}

cExecucaoPlano::~cExecucaoPlano() {
    // A device still running: its worker is stopped and waited for.
    execucao_.reset();
}

std::string cExecucaoPlano::ArquivoEstado() const {
    return CaminhoEstado(plano_.caminho);
}

std::string cExecucaoPlano::CaminhoLog(size_t indice) const {
    return pasta_ + "/" + NomeLogDispositivo(plano_, indice);
}

bool cExecucaoPlano::Abrir(std::string& erro) {
    int numero = 0;
    switch (trava_.Travar(plano_.caminho, numero)) {
        case os::TravaPlano::Resultado::Travado:
            break;
        case os::TravaPlano::Resultado::EmUso:
            erro = "o plano já está sendo executado por outro programa";
            return false;
        case os::TravaPlano::Resultado::Falhou:
            erro = "não foi possível abrir o plano: " +
                   tvx::os::MotivoFalha(tvx::os::ResultadoArquivo{numero});
            return false;
    }
    std::string bytes;
    const tvx::os::ResultadoArquivo lido =
        tvx::os::LerArquivoInteiro(ArquivoEstado(), bytes, kMaiorEstado);
    if (!lido.Ok() && !lido.Inexistente()) {
        erro = "não foi possível ler o estado do plano \"" + ArquivoEstado() +
               "\": " + tvx::os::MotivoFalha(lido);
        return false;
    }
    if (lido.Ok() && !LerEstadoPlano(bytes, plano_, estado_, erro)) {
        erro = "o estado do plano \"" + ArquivoEstado() + "\" não pôde ser lido: " + erro;
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(pasta_, ec);
    if (ec || !std::filesystem::is_directory(pasta_, ec)) {
        erro = "não foi possível criar a pasta do relatório \"" + pasta_ + "\"";
        return false;
    }
    if (!GravarEstado()) {
        erro = "não foi possível gravar o estado do plano \"" + ArquivoEstado() + "\"";
        return false;
    }
    cursor_ = 0;
    Oferecer();
    return true;
}

bool cExecucaoPlano::GravarEstado() {
    const tvx::os::ResultadoArquivo r =
        tvx::os::SubstituirArquivo(ArquivoEstado(), TextoEstadoPlano(plano_, estado_));
    if (!r.Ok()) {
        observador_.Aviso("não foi possível gravar o estado do plano \"" + ArquivoEstado() +
                          "\": " + tvx::os::MotivoFalha(r));
    }
    return r.Ok();
}

bool cExecucaoPlano::GravarRelatorio() {
    const Relogio agora = LerRelogio();
    const std::pair<std::string, std::string> arquivos[] = {
        {pasta_ + "/" + kRelatorioHtml,
         TextoRelatorioHtml(plano_, estado_, Data(agora) + " " + Hora(agora))},
        {pasta_ + "/" + kRelatorioCsv, TextoRelatorioCsv(plano_, estado_)}};
    bool ok = true;
    for (const auto& [caminho, texto] : arquivos) {
        const tvx::os::ResultadoArquivo r = tvx::os::SubstituirArquivo(caminho, texto);
        if (!r.Ok()) {
            observador_.Aviso("não foi possível gravar o relatório \"" + caminho +
                              "\": " + tvx::os::MotivoFalha(r));
            ok = false;
        }
    }
    return ok;
}

void cExecucaoPlano::Oferecer() {
    atual_.reset();
    for (; cursor_ < plano_.dispositivos.size(); ++cursor_) {
        const EstadoLinha e = estado_.resultados[cursor_].estado;
        if (e != EstadoLinha::Feito || repetir_.count(cursor_) > 0) {
            atual_ = cursor_;
            fase_ = Fase::Oferta;
            observador_.Mudou();
            return;
        }
    }
    fase_ = Fase::Fim;
    GravarRelatorio();
    observador_.Mudou();
}

bool cExecucaoPlano::ExigeRepetir() const {
    if (fase_ != Fase::Oferta || !atual_ || repetir_.count(*atual_) > 0) {
        return false;
    }
    const EstadoLinha e = estado_.resultados[*atual_].estado;
    return e == EstadoLinha::Interrompido || e == EstadoLinha::Feito;
}

std::string cExecucaoPlano::Descricao(size_t indice) const {
    const Dispositivo& d = plano_.dispositivos[indice];
    return d.programaIp ? d.nomeModelo + ", novo IP " + d.ipNovo : d.nomeModelo;
}

std::string cExecucaoPlano::Pergunta() const {
    if (!atual_ || fase_ == Fase::Fim) {
        return TextoResumo(estado_);
    }
    const size_t i = *atual_;
    const ResultadoDispositivo& r = estado_.resultados[i];
    const std::string equipamento = "equipamento " + std::to_string(i + 1) + " de " +
                                    std::to_string(plano_.dispositivos.size());
    const std::string qual = "O " + equipamento + " (" + Descricao(i) + ")";
    switch (fase_) {
        case Fase::Oferta:
            if (ExigeRepetir()) {
                return qual + " foi interrompido em " + r.data + " " + r.hora +
                       " e pode já estar programado" + kRespostas;
            }
            return "Conecte o " + equipamento + ": " + Descricao(i) +
                   " — Enter continua, p pula, q encerra";
        case Fase::Execucao:
            return "E" + equipamento.substr(1) + " em execução: " + Descricao(i);
        case Fase::Decisao:
            if (r.estado == EstadoLinha::Interrompido) {
                return qual + " foi interrompido" + kRespostas;
            }
            return qual + " falhou: " + r.ultimaLinha + kRespostas;
        case Fase::Fim:
            break;
    }
    return TextoResumo(estado_);
}

bool cExecucaoPlano::Continuar() {
    if (fase_ != Fase::Oferta || ExigeRepetir()) {
        return false;
    }
    cursor_ = *atual_ + 1;
    return Iniciar(*atual_);
}

bool cExecucaoPlano::Repetir(std::optional<size_t> indice) {
    if (fase_ == Fase::Execucao) {
        return false;
    }
    if (indice) {
        if (*indice >= plano_.dispositivos.size()) {
            return false;
        }
        atual_ = indice;
    }
    // The device offered counts as answered; another one leaves the offer
    // to be made again afterwards.
    if (fase_ == Fase::Oferta && atual_ == cursor_) {
        ++cursor_;
    }
    return atual_ && Iniciar(*atual_);
}

void cExecucaoPlano::Pular() {
    if (fase_ != Fase::Oferta && fase_ != Fase::Decisao) {
        return;
    }
    if (fase_ == Fase::Oferta) {
        cursor_ = *atual_ + 1;
    }
    ResultadoDispositivo& r = estado_.resultados[*atual_];
    if (r.estado == EstadoLinha::Pendente) {
        r.estado = EstadoLinha::Pulado;
        GravarEstado();
        GravarRelatorio();
    }
    Oferecer();
}

void cExecucaoPlano::Encerrar() {
    if (fase_ != Fase::Oferta && fase_ != Fase::Decisao) {
        return;
    }
    atual_.reset();
    fase_ = Fase::Fim;
    GravarRelatorio();
    observador_.Mudou();
}

bool cExecucaoPlano::Iniciar(size_t indice) {
    ResultadoDispositivo& r = estado_.resultados[indice];
    const ResultadoDispositivo antes = r;
    const Relogio agora = LerRelogio();
    r = ResultadoDispositivo{};
    r.estado = EstadoLinha::EmExecucao;
    r.data = Data(agora);
    r.hora = Hora(agora);
    // On the disk before anything is sent: a program killed from here on
    // leaves the device marked as running.
    if (!GravarEstado()) {
        r = antes;
        return false;
    }
    atual_ = indice;
    fase_ = Fase::Execucao;
    semProgramacaoIp_ = false;
    depoisDeExtra_ = false;
    leitura_.clear();
    log_.DefinirArquivo(CaminhoLog(indice));
    equipamento_ = std::make_unique<cEquipamento>();
    equipamento_->ConfiguracaoPadrao();
    RecusasGuardadas recusas;
    if (!AplicarValores(plano_.dispositivos[indice].valores, *equipamento_, recusas)) {
        Terminar(EstadoLinha::Falhou, recusas.texto);
        return true;
    }
    observador_.Mudou();
    observador_.AntesDoEquipamento(indice, *equipamento_,
                                   plano_.dispositivos[indice].acoes.front());
    inicio_ = std::chrono::steady_clock::now();
    acao_ = 0;
    IniciarAcao();
    return true;
}

void cExecucaoPlano::IniciarAcao() {
    const uint32_t acao = plano_.dispositivos[*atual_].acoes[acao_];
    execucao_ = std::make_unique<cExecucaoAcao>(
        *equipamento_, acao,
        [this](const std::string& texto, const std::string&) { Receber(texto); });
    execucao_->Iniciar();
}

void cExecucaoPlano::Receber(const std::string& texto) {
    log_.Escrever(texto);
    if (depoisDeExtra_) {
        leitura_ = SemQuebraFinal(texto);
    }
    depoisDeExtra_ = texto == kInformacaoExtra;
    if (texto == kSemProgramacaoIp) {
        semProgramacaoIp_ = true;
    }
    observador_.Linha(*atual_, texto);
}

bool cExecucaoPlano::Acompanhar(std::chrono::milliseconds espera) {
    if (fase_ != Fase::Execucao) {
        return false;
    }
    if (execucao_->Acompanhar(espera)) {
        return true;
    }
    const uint32_t acao = plano_.dispositivos[*atual_].acoes[acao_];
    // "Programação finalizada." comes also when the new address answered
    // already and the programming left the address alone: the device does
    // not hold what the plan says.
    const bool semIp = acao == kAcaoProgramar && semProgramacaoIp_;
    if (execucao_->Parando()) {
        Terminar(EstadoLinha::Interrompido, execucao_->UltimaLinha());
    } else if (!execucao_->Sucesso() || semIp) {
        Terminar(EstadoLinha::Falhou, semIp ? kSemProgramacaoIp : execucao_->UltimaLinha());
    } else if (++acao_ < plano_.dispositivos[*atual_].acoes.size()) {
        IniciarAcao();
        return true;
    } else {
        Terminar(EstadoLinha::Feito, execucao_->UltimaLinha());
    }
    return fase_ == Fase::Execucao;
}

void cExecucaoPlano::Parar() {
    if (fase_ == Fase::Execucao && execucao_) {
        execucao_->Parar();
    }
}

void cExecucaoPlano::Terminar(EstadoLinha estado, const std::string& ultima) {
    ResultadoDispositivo& r = estado_.resultados[*atual_];
    r.estado = estado;
    r.ultimaLinha = ultima;
    if (execucao_) {
        const auto duracao = std::chrono::steady_clock::now() - inicio_;
        r.duracao =
            static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(duracao).count() + 500) /
            1000;
    }
    r.ipLido = equipamento_->GetIpLido();
    r.mascaraLida = equipamento_->GetMascaraLida();
    r.gatewayLido = equipamento_->GetGatewayLido();
    r.leitura = leitura_;
    execucao_.reset();
    equipamento_.reset();
    GravarEstado();
    GravarRelatorio();
    if (estado == EstadoLinha::Feito) {
        Oferecer();
    } else {
        fase_ = Fase::Decisao;
        observador_.Mudou();
    }
}

}  // namespace tvx::plano
