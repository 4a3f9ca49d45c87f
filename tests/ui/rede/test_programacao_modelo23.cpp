// The telemetry unit TVX3300E programmed end to end through the wizard: every
// setting typed into the grid of the parameters page, as the technician does,
// reaches the simulated unit on the factory address, and its new addresses
// wait there for the power cycle the run does not send.
//
// As for the other run of this program, the application object, the wizard,
// the simulator and the worker all live on the thread of the body, inside the
// network namespace of the test.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <array>
#include <optional>
#include <regex>

#include "apoio/apoio_ui.h"
#include "core/thread_programar.h"
#include "core/utilitarios.h"
#include "sim/simulador.h"
#include "support/rede_isolada.h"
#include "ui/campo_ip.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_modelo.h"
#include "ui/dlg_programar.h"
#include "ui/edicao_mascarada.h"
#include "ui/lista_propriedades.h"
#include "paginas/parametros.h"
#include "ui_dlg_meio_comunicacao.h"
#include "ui_dlg_modelo.h"
#include "ui_dlg_programar.h"

namespace tvx::teste {
namespace {

using namespace std::chrono_literals;

using ProgramacaoEmRede = TesteUi;

constexpr uint32_t kModelo = 23;
constexpr const char* kIpNovo = "10.23.0.5";
constexpr const char* kMascaraNova = "255.255.255.0";
constexpr const char* kGatewayNovo = "10.23.0.1";
constexpr const char* kMac = "02:B4:6D:01:02:03";
constexpr const char* kId = "551199887766";
constexpr const char* kUrl = "tvx.exemplo.com.br:7001";
constexpr const char* kOperadora = "2 - Brasil - CLARO";
constexpr uint8_t kCodigoOperadora = 2;
constexpr uint8_t kRtu = 7;
constexpr uint8_t kCodigoVelocidade9600 = 96;

// The answer line of one 32-byte echo from ip, whatever it took.
std::string Eco(const std::string& ip) {
    return "<eco " + ip + ">";
}

bool LinhaConfere(const std::string& esperada, const std::string& recebida) {
    if (esperada.rfind("<eco ", 0) == 0) {
        const std::string ip = esperada.substr(5, esperada.size() - 6);
        std::string padrao = "Ping recebido de ";
        for (char c : ip) {
            padrao += c == '.' ? std::string("\\.") : std::string(1, c);
        }
        padrao += " ,Status=0 ,Tempo:[0-9]+ ms ,Bytes:32";
        return std::regex_match(recebida, std::regex(padrao));
    }
    return esperada == recebida;
}

// The lines of the box after its leading break, split where the box breaks them.
std::vector<std::string> LinhasDaCaixa(const QString& caixa) {
    std::vector<std::string> linhas;
    const QStringList partes = caixa.split('\n');
    for (qsizetype i = 1; i < partes.size(); ++i) {
        linhas.push_back(partes[i].toStdString());
    }
    return linhas;
}

std::string Listar(const std::vector<std::string>& linhas) {
    std::string texto;
    for (size_t i = 0; i < linhas.size(); ++i) {
        texto += "  [" + std::to_string(i) + "] \"" + linhas[i] + "\"\n";
    }
    return texto;
}

void ConferirSequencia(const std::vector<std::string>& esperadas,
                       const std::vector<std::string>& recebidas, const char* onde) {
    bool iguais = esperadas.size() == recebidas.size();
    for (size_t i = 0; iguais && i < esperadas.size(); ++i) {
        iguais = LinhaConfere(esperadas[i], recebidas[i]);
    }
    EXPECT_TRUE(iguais) << onde << "\nexpected:\n"
                        << Listar(esperadas) << "got:\n"
                        << Listar(recebidas);
}

class ProgramacaoModelo23 {
  public:
    explicit ProgramacaoModelo23(cDlgIpMsGw& pagina) : pagina_(pagina) {}

    // Opens the editor of the row with that label, as a click on it does.
    void Editar(const char* rotulo) {
        const auto indice = pagina_.Linhas().Procurar(rotulo);
        ASSERT_TRUE(indice.has_value()) << rotulo;
        pagina_.Lista().Selecionar(*indice);
        QApplication::processEvents();
        ASSERT_NE(pagina_.Lista().EditorVisivel(), nullptr) << rotulo;
    }
    void Marcar(const char* rotulo) {
        Editar(rotulo);
        ASSERT_EQ(pagina_.Lista().EditorVisivel(), pagina_.Lista().Check());
        ASSERT_FALSE(pagina_.Linhas().GetCheck(rotulo)) << rotulo;
        pagina_.Lista().Check()->click();
        ASSERT_TRUE(pagina_.Linhas().GetCheck(rotulo)) << rotulo;
    }
    void Digitar(const char* rotulo, const char* texto) {
        Editar(rotulo);
        cMaskedEdit* caixa = pagina_.Lista().Texto();
        ASSERT_EQ(pagina_.Lista().EditorVisivel(), caixa);
        caixa->selectAll();
        QTest::keyClicks(caixa, texto);
        ASSERT_EQ(pagina_.Linhas().GetText(rotulo), texto) << rotulo;
    }
    void Escolher(const char* rotulo, const char* entrada) {
        Editar(rotulo);
        QComboBox* lista = pagina_.Lista().Lista();
        ASSERT_EQ(pagina_.Lista().EditorVisivel(), lista);
        const int indice = lista->findText(QString::fromUtf8(entrada));
        ASSERT_GE(indice, 0) << entrada;
        lista->setCurrentIndex(indice);
        ASSERT_EQ(pagina_.Linhas().GetText(rotulo), entrada) << rotulo;
    }
    void Endereco(const char* rotulo, const char* ip) {
        Editar(rotulo);
        cCampoIp* campo = pagina_.Lista().CampoIp();
        ASSERT_EQ(pagina_.Lista().EditorVisivel(), campo);
        campo->definirTexto(ip);
        ASSERT_EQ(pagina_.Linhas().GetText(rotulo), ip) << rotulo;
    }
    // The fixed prefix of the masked box stays; only the last three bytes are typed.
    void DigitarMac(const char* ultimosBytes) {
        Editar(kRotuloMac);
        cMaskedEdit* caixa = pagina_.Lista().Texto();
        ASSERT_EQ(pagina_.Lista().EditorVisivel(), caixa);
        caixa->setCursorPosition(0);
        QTest::keyClicks(caixa, ultimosBytes);
    }

  private:
    cDlgIpMsGw& pagina_;
};

TEST_F(ProgramacaoEmRede, Modelo23TodosOsPassosPelaGradeEIpNovoAoReligar) {
    TVX_NO_PROCESSO_ISOLADO([&](RedeIsolada& rede) {
        ASSERT_EQ(rede.Interfaces(), std::vector<std::string>{"lo"});
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/32"));
        // The new address's network leads nowhere: its echo goes unanswered
        // until the run ends, so the run programs it.
        ASSERT_TRUE(rede.AdicionarRedeMuda("10.23.0.0/24"));
        std::string enderecos;
        ASSERT_EQ(rede.Executar("ip -4 -o addr show", &enderecos), 0);
        ASSERT_NE(enderecos.find("192.168.0.101/32"), std::string::npos) << enderecos;
        ASSERT_EQ(enderecos.find("10.23."), std::string::npos) << enderecos;

        sim::Simulador simulador(kModelo);
        ASSERT_TRUE(simulador.IniciarTcp("192.168.0.101"));

        auto w = AbrirAssistente();
        ASSERT_EQ(w->currentId(), kPaginaModelo);
        QComboBox* modelos = w->PaginaModelo()->Controles().ctl1012;
        const int posicao = modelos->findData(kModelo);
        ASSERT_GE(posicao, 0);
        ASSERT_EQ(modelos->itemText(posicao), QString("TVX3300E - Telemetria"));
        modelos->setCurrentIndex(posicao);
        emit modelos->activated(posicao);
        ASSERT_EQ(eq.GetModelo(), kModelo);
        w->next();
        Processar();

        ASSERT_EQ(w->currentId(), kPaginaMeio);
        auto& meio = w->PaginaMeio()->Controles();
        ASSERT_EQ(meio.ctl1017->text(), QString("IP Default (192.168.0.101)"));
        meio.ctl1017->click();
        ASSERT_TRUE(meio.ctl1017->isChecked());
        w->next();
        Processar();

        ASSERT_EQ(w->currentId(), kPaginaParametros);
        cDlgIpMsGw* parametros = w->PaginaParametros();
        parametros->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        ProgramacaoModelo23 grade(*parametros);
        grade.Endereco(kRotuloIp, kIpNovo);
        grade.Endereco(kRotuloMascara, kMascaraNova);
        grade.Endereco(kRotuloGateway, kGatewayNovo);
        grade.Marcar("Alterar RTU e Velocidade?");
        grade.Digitar(kRotuloRtu, "7");
        grade.Escolher(kRotuloVelocidade, "9600");
        grade.Marcar("Alterar Operadora e ID de Telemetria?");
        grade.Escolher(kRotuloOperadora, kOperadora);
        grade.Digitar(kRotuloIdTelemetria, kId);
        grade.Marcar("Alterar MAC?");
        grade.DigitarMac("010203");
        ASSERT_EQ(parametros->Linhas().GetText(kRotuloMac), kMac);
        grade.Marcar("Alterar URL?");
        grade.Digitar(kRotuloUrl, kUrl);
        if (HasFatalFailure()) {
            return;
        }
        w->next();
        Processar();
        ASSERT_TRUE(caixas.empty());
        ASSERT_EQ(w->currentId(), kPaginaProgramar);
        ASSERT_EQ(eq.GetIpProgramacao(), "192.168.0.101");
        ASSERT_EQ(eq.GetIpNovo(), kIpNovo);

        cDlgProgramar* pagina = w->PaginaProgramar();
        ASSERT_EQ(pagina->Controles().ctl1000->text(), QString("&Programar"));
        pagina->Controles().ctl1000->click();
        ASSERT_TRUE(Aguardar([&] { return !pagina->Trabalho().EmExecucao(0); }, 90s));
        Processar(300ms);

        std::vector<std::string> esperadas = {
            "TVXNetCfg - v19.1.3",
            "Programação iniciada...",
            "Verificando se o IP de programação está presente na rede...",
            Eco("192.168.0.101"),
            "Ping falhou: 11010",
            "Conectando no equipamento...",
            "Enviando programação de RTU e Velocidade...",
            "OK.",
            "Enviando programação de ID e Operadora...",
            "OK.",
            "Enviando programação de MAC...",
            "OK.",
            "Enviando programação de URL...",
            "OK.",
            "Reconectando no equipamento...",
            "Enviando programação de IP...",
            "Programação de IP OK.",
            "OK",
            "Programação finalizada.",
        };
        // This unit is not restarted by the run: the new addresses wait for a
        // power cycle, and the read shows the ones still in force.
        const std::vector<std::string> leitura = {
            "Leitura iniciada...",
            Eco("192.168.0.101"),
            "IP:192.168.0.101",
            "MASK:255.255.255.0",
            "GW:0.0.0.0",
            "INFORMAÇÃO EXTRA",
            "TVX3300E - Telemetria",
            "IP: 192.168.0.101",
            "Mask: 255.255.255.0",
            "Gateway: 0.0.0.0",
            std::string("MAC: ") + kMac,
            "RTU: 7",
            "Velocidade: 9600",
            "Operadora: 2",
            std::string("ID: ") + kId,
            std::string("URL: ") + kUrl,
            "",
            "Leitura finalizada.",
        };
        esperadas.insert(esperadas.end(), leitura.begin(), leitura.end());
        const auto caixa = LinhasDaCaixa(pagina->Controles().ctl1028->toPlainText());
        ConferirSequencia(esperadas, caixa, "progress box");
        EXPECT_EQ(pagina->Trabalho().programado, 1);

        // The log holds the same lines; those that continue the text read
        // back share its first line's time stamp.
        std::vector<std::string> noLog = esperadas;
        const size_t primeiraDoTexto = esperadas.size() - leitura.size() + 7;
        for (size_t i = primeiraDoTexto; i + 1 < noLog.size(); ++i) {
            noLog[i] = "<sem data> " + noLog[i];
        }
        ConferirSequencia(noLog, LinhasDoLog(), "log file");

        const sim::EstadoEquipamento estado = simulador.Estado();
        EXPECT_EQ(estado.rtu, kRtu);
        EXPECT_EQ(estado.velocidade, kCodigoVelocidade9600);
        EXPECT_EQ(estado.operadora, kCodigoOperadora);
        EXPECT_EQ(estado.idTelemetria, kId);
        EXPECT_EQ(estado.mac, (std::array<uint8_t, 6>{0x02, 0xB4, 0x6D, 0x01, 0x02, 0x03}));
        EXPECT_EQ(estado.url, kUrl);
        const std::array<uint32_t, 3> novos = {TextoParaIp(kIpNovo), TextoParaIp(kMascaraNova),
                                               TextoParaIp(kGatewayNovo)};
        EXPECT_EQ(estado.ip, TextoParaIp("192.168.0.101"));
        EXPECT_EQ(estado.pendente, std::optional(novos));
        EXPECT_EQ(estado.resets, 0);

        // Switched off and on, the unit comes back on the programmed addresses.
        simulador.Reiniciar();
        const sim::EstadoEquipamento religado = simulador.Estado();
        EXPECT_EQ((std::array<uint32_t, 3>{religado.ip, religado.mascara, religado.gateway}),
                  novos);
        EXPECT_FALSE(religado.pendente.has_value());
        EXPECT_EQ(religado.rtu, kRtu);
        EXPECT_EQ(religado.url, kUrl);

        w.reset();
        simulador.Parar();
    });
}

}  // namespace
}  // namespace tvx::teste
