// Renders the wizard's pages offscreen into PNG files, one per page and per
// state of the communication medium page that looks different. Everything
// happens in a temporary working directory, so the user's configuration and
// log are never read or written. No run is started.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "core/equipamento.h"
#include "core/registros.h"
#include "ui/aplicacao.h"
#include "ui/dlg_ip_ms_gw.h"
#include "ui/dlg_meio_comunicacao.h"
#include "ui/dlg_programar.h"
#include "ui/lista_propriedades.h"
#include "ui/mensagens.h"
#include "ui_dlg_meio_comunicacao.h"

namespace {

using tvx::cAssistente;
using tvx::cEquipamento;

struct Captura {
    const char* arquivo;
    uint32_t modelo;
    int pagina;
    std::function<void(cAssistente&)> preparar;  // after the page is shown
    int funcaoGateway = -1;                      // gateway function code, when set
};

// Shows the in-place editor of a page 3 row, as a click on it does.
void EditarLinha(cAssistente& assistente, const char* rotulo) {
    auto* pagina = assistente.PaginaParametros();
    if (const auto indice = pagina->Linhas().Procurar(rotulo)) {
        pagina->Lista().Selecionar(*indice);
    }
}

void Processar() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

bool Capturar(const Captura& captura, const QString& destino) {
    QTemporaryDir pasta;
    if (!pasta.isValid()) {
        return false;
    }
    const auto anterior = std::filesystem::current_path();
    std::filesystem::current_path(pasta.path().toStdString());

    cEquipamento& equipamento = tvx::EquipamentoGlobal();
    equipamento.caminhoConfiguracao.clear();
    equipamento.Configuracao(false);
    equipamento.SetModelo(captura.modelo);
    equipamento.CarregaInfoModelo();
    // Page 3 lets no run go on without a new address.
    equipamento.SetIpNovo("192.168.0.50");
    equipamento.SetMascaraNova("255.255.255.0");
    if (captura.funcaoGateway >= 0) {
        equipamento.registroGatewayUniversal[tvx::kGuFuncao] =
            static_cast<uint8_t>(captura.funcaoGateway);
    }
    bool ok = false;
    {
        cAssistente assistente(equipamento);
        assistente.resize(assistente.sizeHint());
        assistente.show();
        Processar();
        while (assistente.currentId() < captura.pagina) {
            const int antes = assistente.currentId();
            assistente.next();
            Processar();
            if (assistente.currentId() == antes) {
                break;
            }
        }
        if (captura.preparar) {
            captura.preparar(assistente);
            Processar();
        }
        const QString caminho = QDir(destino).filePath(QString::fromUtf8(captura.arquivo));
        ok = assistente.grab().save(caminho, "PNG");
        std::printf("%s %s\n", ok ? "ok   " : "FALHA", caminho.toUtf8().constData());
    }
    std::filesystem::current_path(anterior);
    return ok;
}

void EscolherMeio(cAssistente& assistente, int meio) {
    auto& ui = assistente.PaginaMeio()->Controles();
    QRadioButton* radios[] = {ui.ctl1017, ui.ctl1018, ui.ctl1019};
    radios[meio]->click();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication aplicativo(argc, argv);
    const QString destino = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("capturas");
    QDir().mkpath(destino);

    // Boxes and the file dialog answer themselves; what they would have shown
    // is printed.
    tvx::DefinirFuncaoMensagem([](QWidget*, tvx::IconeMensagem, const QString& texto) {
        std::printf("      (caixa: %s)\n", texto.toUtf8().constData());
        return tvx::RespostaMensagem::Nao;
    });
    tvx::DefinirFuncaoAbrirArquivo(
        [](QWidget*, const QString&, const QString&, const QString&) { return QString(); });

    const Captura capturas[] = {
        {"1-modelo.png", 1, tvx::kPaginaModelo, {}},
        {"1-modelo-nenhum.png", 0, tvx::kPaginaModelo, {}},
        {"2-meio-somente-tcp.png", 1, tvx::kPaginaMeio, {}},
        {"2-meio-este-ip.png", 2, tvx::kPaginaMeio,
         [](cAssistente& a) {
             EscolherMeio(a, 1);
             a.PaginaMeio()->Controles().ctl1003->definirTexto(QStringLiteral("10.0.0.5"));
         }},
        {"2-meio-serial.png", 3, tvx::kPaginaMeio, [](cAssistente& a) { EscolherMeio(a, 2); }},
        {"2-meio-modelo-25.png", 25, tvx::kPaginaMeio, [](cAssistente& a) { EscolherMeio(a, 2); }},
        // Page 3 for each kind of row set.
        {"3-parametros.png", 3, tvx::kPaginaParametros, {}},
        {"3-parametros-funcao-gateway.png", 1, tvx::kPaginaParametros, {}, 85},
        {"3-parametros-medidores-modbus.png", 19, tvx::kPaginaParametros, {}},
        {"3-parametros-gateways-tvx940.png", 21, tvx::kPaginaParametros, {}},
        {"3-parametros-telemetria.png", 23, tvx::kPaginaParametros, {}},
        {"3-parametros-telemetria-editando.png", 23, tvx::kPaginaParametros,
         [](cAssistente& a) { EditarLinha(a, "Operadora de Celular (Telemetria)"); }},
        {"3-parametros-mac-editando.png", 23, tvx::kPaginaParametros,
         [](cAssistente& a) { EditarLinha(a, "MAC (xx:xx:xx:xx:xx:xx)"); }},
        {"3-parametros-entradas-saidas.png", 30, tvx::kPaginaParametros, {}},
        {"3-parametros-modelo-25.png", 25, tvx::kPaginaParametros, {}},
        {"4-programar.png", 3, tvx::kPaginaProgramar,
         [](cAssistente& a) {
             auto* pagina = a.PaginaProgramar();
             pagina->AdicionaLinha(tvx::kVersaoPrograma);
             pagina->AdicionaLinha("Programação iniciada...");
             pagina->AdicionaLinha("Verificando se o IP de programação está presente na rede...");
         }},
    };
    bool tudo = true;
    for (const Captura& captura : capturas) {
        tudo = Capturar(captura, destino) && tudo;
    }
    return tudo ? EXIT_SUCCESS : EXIT_FAILURE;
}
