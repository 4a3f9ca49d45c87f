#include "ui/dlg_meio_comunicacao.h"

#include <QRadioButton>
#include <vector>

#include "ui_dlg_meio_comunicacao.h"

namespace tvx {

cDlgMeioComunicacao::cDlgMeioComunicacao(cEquipamento& equipamento, QWidget* parent)
    : cPaginaAssistente(QString::fromUtf8(kTituloPaginaMeio), parent),
      equipamento_(equipamento),
      ui_(std::make_unique<Ui::DlgMeioComunicacao>()),
      avisos_(this) {
    ui_->setupUi(this);
    radios_ = {ui_->ctl1017, ui_->ctl1018, ui_->ctl1019};
    for (uint32_t i = 0; i < radios_.size(); ++i) {
        connect(radios_[i], &QRadioButton::clicked, this, [this, i] { AoClicarMeio(i); });
    }
    // Controls that come and go with the model keep their place, so that the
    // page does not jump around while the technician clicks.
    for (QWidget* w : std::vector<QWidget*>{ui_->ctl1017, ui_->ctl1018, ui_->ctl1003, ui_->ctl1019,
                                            ui_->ctl1020, ui_->ctl1021, ui_->ctl1022, ui_->ctl1023,
                                            ui_->ctl1024, ui_->ctl1025}) {
        QSizePolicy politica = w->sizePolicy();
        politica.setRetainSizeWhenHidden(true);
        w->setSizePolicy(politica);
    }
}

cDlgMeioComunicacao::~cDlgMeioComunicacao() = default;

void cDlgMeioComunicacao::OnInitDialog() {
    const std::vector<std::string> portas = ListaPortas(avisos_, raizPortas_);
    for (const std::string& porta : portas) {
        ui_->ctl1020->addItem(QString::fromStdString(porta));
    }
    const auto porta = PosicaoDaPorta(portas, equipamento_.GetPorta());
    ui_->ctl1020->setCurrentIndex(porta ? static_cast<int>(*porta) : -1);

    for (const EntradaLista& entrada : ListaVelocidades()) {
        ui_->ctl1021->addItem(QString::fromStdString(entrada.texto), entrada.dado);
    }
    const auto velocidade = PosicaoVelocidade(equipamento_.GetVelocidade());
    ui_->ctl1021->setCurrentIndex(velocidade ? static_cast<int>(*velocidade) : -1);

    for (const EntradaLista& entrada : ListaRtus()) {
        ui_->ctl1022->addItem(QString::fromStdString(entrada.texto), entrada.dado);
    }
    ui_->ctl1022->setCurrentIndex(equipamento_.GetRtu());

    estado_ = equipamento_.GetMeio();
}

void cDlgMeioComunicacao::OnShowWindow(bool /*mostrar*/) {
    // A configuration read on page 1 or another model shows here; the three
    // lists keep the selection they have.
    estado_ = equipamento_.GetMeio();
    ui_->ctl1003->definirTexto(QString::fromStdString(equipamento_.GetIpProgramacao()));
    // A stored port that is not listed stands in the empty list as it is:
    // Next keeps it unless another entry is picked.
    ui_->ctl1020->setPlaceholderText(QString::fromStdString(equipamento_.GetPorta()));
    Atualizar();
}

void cDlgMeioComunicacao::AoClicarMeio(uint32_t meio) {
    estado_ = meio;
    Atualizar();
}

void cDlgMeioComunicacao::MarcarRadios() {
    for (uint32_t i = 0; i < radios_.size(); ++i) {
        // An exclusive group cannot uncheck its last button: a medium from the
        // file that is none of the three leaves all three unchecked.
        radios_[i]->setAutoExclusive(false);
        radios_[i]->setChecked(i == estado_);
        radios_[i]->setAutoExclusive(true);
    }
}

void cDlgMeioComunicacao::Atualizar() {
    const VisibilidadeMeio v = AtualizarMeio(equipamento_, estado_);
    MarcarRadios();
    ui_->ctl1017->setVisible(v.ipPadrao);
    ui_->ctl1019->setVisible(v.serial);
    ui_->ctl1018->setVisible(v.esteIp);
    ui_->ctl1003->setVisible(v.campoIp);
    ui_->ctl1020->setVisible(v.porta);
    ui_->ctl1023->setVisible(v.porta);
    ui_->ctl1021->setVisible(v.velocidadeRtu);
    ui_->ctl1024->setVisible(v.velocidadeRtu);
    ui_->ctl1022->setVisible(v.velocidadeRtu);
    ui_->ctl1025->setVisible(v.velocidadeRtu);
}

bool cDlgMeioComunicacao::validatePage() {
    EscolhaMeio escolha;
    for (uint32_t i = 0; i < radios_.size(); ++i) {
        if (radios_[i]->isChecked()) {
            escolha.marcado = i;
            break;
        }
    }
    escolha.ipCampo = ui_->ctl1003->texto().toStdString();
    if (ui_->ctl1020->currentIndex() >= 0) {
        escolha.porta = ui_->ctl1020->currentText().toStdString();
    }
    if (ui_->ctl1021->currentIndex() >= 0) {
        escolha.velocidade = static_cast<uint8_t>(ui_->ctl1021->currentData().toUInt());
    }
    if (ui_->ctl1022->currentIndex() >= 0) {
        escolha.rtu = static_cast<uint8_t>(ui_->ctl1022->currentData().toUInt());
    }
    return ConfirmarMeio(equipamento_, escolha, estado_, avisos_);
}

}  // namespace tvx
