#include "apoio/apoio_ui.h"

#include "core/utilitarios.h"
#include "support/log_lido.h"

#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <regex>
#include <sstream>

namespace tvx::teste {

namespace {

QtMessageHandler manipuladorPadrao = nullptr;

void Filtrar(QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto) {
    if (texto.contains(QLatin1String("does not support propagateSizeHints"))) {
        return;
    }
    manipuladorPadrao(tipo, contexto, texto);
}

}  // namespace

void FiltrarMensagensDoQt() {
    if (manipuladorPadrao == nullptr) {
        manipuladorPadrao = qInstallMessageHandler(Filtrar);
    }
}

bool EcoLocalDisponivel() {
    RespostaEco resposta;
    return Pingar(TextoParaIp("127.0.0.1"), resposta, 32, 1000);
}

void PrintTo(const CaixaMostrada& caixa, std::ostream* saida) {
    static const char* const nomes[] = {"Erro", "Informacao", "Pergunta"};
    *saida << nomes[static_cast<int>(caixa.icone)] << ": \"" << caixa.texto.toStdString() << '"';
}

void TesteUi::SetUp() {
    anterior_ = std::filesystem::current_path();
    char modelo[] = "/tmp/tvx-ui-XXXXXX";
    ASSERT_NE(mkdtemp(modelo), nullptr);
    pasta = modelo;
    std::filesystem::current_path(pasta);
    eq.caminhoConfiguracao.clear();
    eq.janelaProgresso = nullptr;
    eq.infoModelo = InfoModelo{};
    eq.Configuracao(false);
    eq.CarregaInfoModelo();
    mensagemAnterior_ =
        DefinirFuncaoMensagem([this](QWidget*, IconeMensagem icone, const QString& texto) {
            caixas.push_back({icone, texto});
            if (icone == IconeMensagem::Pergunta) {
                return respostaPergunta;
            }
            return RespostaMensagem::Ok;
        });
    arquivoAnterior_ = DefinirFuncaoAbrirArquivo(
        [this](QWidget*, const QString& titulo, const QString& pasta_, const QString& filtro) {
            dialogos.push_back({titulo, pasta_, filtro});
            return arquivoEscolhido;
        });
}

void TesteUi::TearDown() {
    if (QCoreApplication::instance() != nullptr) {
        Processar();
    }
    DefinirFuncaoMensagem(mensagemAnterior_);
    DefinirFuncaoAbrirArquivo(arquivoAnterior_);
    eq.caminhoConfiguracao.clear();
    eq.janelaProgresso = nullptr;
    std::filesystem::current_path(anterior_);
    std::error_code erro;
    std::filesystem::remove_all(pasta, erro);
}

std::unique_ptr<cAssistente> TesteUi::AbrirAssistente() {
    auto assistente = std::make_unique<cAssistente>(eq);
    assistente->show();
    Processar();
    return assistente;
}

void TesteUi::Processar(std::chrono::milliseconds tempo) {
    QApplication::processEvents();
    if (tempo.count() > 0) {
        QTest::qWait(static_cast<int>(tempo.count()));
    }
    QApplication::processEvents();
}

bool TesteUi::Aguardar(const std::function<bool()>& cond, std::chrono::milliseconds limite) {
    QElapsedTimer relogio;
    relogio.start();
    while (!cond()) {
        if (relogio.elapsed() > limite.count()) {
            return cond();
        }
        QTest::qWait(20);
    }
    return true;
}

std::string TesteUi::ValorIni(const std::filesystem::path& caminho, const std::string& secao,
                              const std::string& chave) const {
    std::istringstream texto(LerArquivo(caminho.string()));
    std::string linha;
    std::string atual;
    while (std::getline(texto, linha)) {
        if (!linha.empty() && linha.back() == '\r') {
            linha.pop_back();
        }
        if (linha.size() >= 2 && linha.front() == '[' && linha.back() == ']') {
            atual = linha.substr(1, linha.size() - 2);
            continue;
        }
        const auto igual = linha.find('=');
        if (atual == secao && igual != std::string::npos && linha.substr(0, igual) == chave) {
            return linha.substr(igual + 1);
        }
    }
    return "<ausente>";
}

std::vector<std::string> TesteUi::LinhasDoLog() const {
    static const std::regex carimbo(R"(^\d\d/\d\d/\d{4}\t\d\d:\d\d:\d\d\t)");
    std::vector<std::string> linhas;
    std::istringstream texto(LerArquivo((pasta / "tvxnetcfg.log").string()));
    std::string linha;
    while (std::getline(texto, linha)) {
        if (!linha.empty() && linha.back() == '\r') {
            linha.pop_back();
        }
        // The log is Windows-1252; the tests compare UTF-8.
        const std::string utf8 =
            QString::fromLatin1(linha.data(), static_cast<qsizetype>(linha.size())).toStdString();
        std::smatch m;
        if (std::regex_search(utf8, m, carimbo)) {
            linhas.push_back(utf8.substr(static_cast<size_t>(m.length(0))));
        } else {
            linhas.push_back("<sem data> " + (utf8.starts_with("\t\t") ? utf8.substr(2) : utf8));
        }
    }
    return linhas;
}

}  // namespace tvx::teste
