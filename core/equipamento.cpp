#include "core/equipamento.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <vector>

namespace tvx {

namespace {

bool Entre(uint32_t modelo, std::initializer_list<uint32_t> modelos) {
    return std::find(modelos.begin(), modelos.end(), modelo) != modelos.end();
}

constexpr uint32_t kModeloWeb = 25;  // TVX3300WEB: serial at 38400, RTU 0, no IP programming
constexpr uint32_t kModeloGwGprs = 24;
constexpr uint8_t kRtuDifusao = 0xFE;
constexpr const char* kAvisoDesligarLigar =
    "Para que a configuração entre em vigor é necessário desligar e ligar o equipamento.";

std::string TextoGuardado(const uint8_t* campo, size_t tamanho, const std::string& arquivo) {
    if (!arquivo.empty()) {
        std::vector<uint8_t> convertido(tamanho);
        GravarTextoNoCampo(convertido.data(), tamanho, arquivo, tamanho);
        if (std::equal(convertido.begin(), convertido.end(), campo)) {
            return arquivo;
        }
    }
    return TextoDoCampo(campo, tamanho);
}

}  // namespace

cEquipamento::cEquipamento() = default;
cEquipamento::~cEquipamento() = default;

cEquipamento& EquipamentoGlobal() {
    static cEquipamento equipamento;
    return equipamento;
}

std::string cEquipamento::TextoIdTelemetria() const {
    return TextoGuardado(&registroTelemetria[kTelId], kTamanhoIdTelemetria, idTelemetriaArquivo);
}

std::string cEquipamento::TextoUrl() const {
    return TextoGuardado(&registroUrl[kUrlTexto], kTamanhoUrl, urlArquivo);
}

bool cEquipamento::CarregaInfoModelo() {
    return ObtemInfoModelo(modelo, infoModelo);
}

bool cEquipamento::ProgramaIp() const {
    if (Familia() == kFamiliaRegistros) {
        return infoModelo.alterarIp != 0;
    }
    return true;
}

bool cEquipamento::AlterarMac() const {
    const OpcaoModelo& o = infoModelo.opcoes[kOpcaoMac];
    return o.oferecida && o.marcada;
}

bool cEquipamento::AlterarCelularSms() const {
    const OpcaoModelo& o = infoModelo.opcoes[kOpcaoCelularSms];
    return o.oferecida && o.marcada;
}

bool cEquipamento::AlterarIdTelemetria() const {
    const OpcaoModelo& o = infoModelo.opcoes[kOpcaoIdTelemetria];
    return o.oferecida && o.marcada;
}

uint8_t cEquipamento::GetRtu() const {
    return modelo == kModeloWeb ? 0 : rtu;
}

uint8_t cEquipamento::GetVelocidade() const {
    return modelo == kModeloWeb ? kIndiceVelocidade38400 : canal.IndiceVelocidade();
}

bool cEquipamento::InformaProgresso(const std::string& texto) {
    if (texto.empty()) {
        return false;
    }
    return PostarTexto(janelaProgresso, mensagemProgresso, texto);
}

void cEquipamento::AvisaDesligarLigar() {
    if (modelo == kModeloWeb) {
        PostarTextoFixo(janelaProgresso, mensagemProgresso, kAvisoDesligarLigar);
    }
}

bool cEquipamento::PermiteIpDefault() const {
    return modelo != kModeloWeb;
}

bool cEquipamento::PermiteEsteIp() const {
    return Entre(modelo, {2, 3, 4, 5, 6, 7, 15, 17, 22, 23, 24, 30, 33, 34});
}

bool cEquipamento::PermiteSerial() const {
    return Entre(modelo, {2, 3, 4, 5, 22, 23, 25});
}

bool cEquipamento::PermiteRtuVelocidade() const {
    return modelo != kModeloWeb;
}

bool cEquipamento::UsaTcp() const {
    return Entre(modelo, {1, 6, 7, 17, 18}) || meio != kMeioSerial;
}

uint8_t cEquipamento::TipoQuadro() const {
    if (Entre(modelo, {1, 6, 7, 17, 18})) {
        return kQuadroSimples;
    }
    if (Entre(modelo, {2, 22, 23, 24, 25, 29, 31, 33, 34})) {
        return kQuadroDleCurto;
    }
    if (modelo == 30) {
        return kQuadroModbus;
    }
    return kQuadroDle;
}

uint16_t cEquipamento::PortaTcp() const {
    switch (modelo) {
        case 6:
        case 17:
            return 5006;
        case 7:
            return 5007;
        case 30:
            return 502;
        default:
            return 5003;
    }
}

bool cEquipamento::PodeLer() const {
    return Entre(modelo, {2, 3, 4, 5, 6, 7, 15, 17, 22, 23, 24, 25, 29, 31, 33, 34}) ||
           Familia() == kFamiliaGatewayUniversal || Familia() == kFamiliaRegistros;
}

bool cEquipamento::MostraIpProgramado() const {
    const uint8_t f = Familia();
    return f == kFamiliaTexto || f == kFamiliaGatewayTx || f == kFamiliaGatewayUniversal ||
           f == kFamiliaGatewayModbus;
}

bool cEquipamento::MostraEnderecosLidos() const {
    return Familia() != kFamiliaRegistros;
}

bool cEquipamento::ModeloComDip() const {
    return Entre(modelo, {6, 7, 17});
}

bool cEquipamento::PermiteReset() const {
    return Entre(modelo, {2, 3, 4, 5, 6, 7, 17, 33});
}

bool cEquipamento::Conecta(bool usarIpNovo) {
    canal.DefinirUsaTcp(UsaTcp());
    if (UsaTcp()) {
        canal.DefinirTempoEspera(kTempoConexaoSegundos);
        return canal.Conectar(usarIpNovo ? ipNovo : ipProgramacao, PortaTcp());
    }
    if (!canal.SerialAberta()) {
        canal.AbrirSerial();
    }
    return canal.SerialAberta();
}

void cEquipamento::Desconecta() {
    canal.Fechar();
    canal.Encerrar();
    // The Modbus steps leave the channel flagged as TCP even on a serial
    // medium; the port must still be closed at the end of a run.
    if (canal.SerialAberta()) {
        canal.FecharSerial();
    }
}

bool cEquipamento::EnviaBruto(const uint8_t* bloco, int tamanho) {
    return UsaTcp() ? canal.EnviarTcpBuffer(bloco, tamanho) : canal.EnviarSerial(bloco, tamanho);
}

void cEquipamento::AguardaResposta() {
    if (UsaTcp()) {
        canal.AguardarTcp();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
}

bool cEquipamento::Recebe(uint8_t* destino, int tamanho) {
    const uint8_t* recebido = UsaTcp() ? canal.ReceberTcp() : canal.ReceberSerial(tamanho);
    if (!recebido) {
        return false;
    }
    const int n = std::clamp(tamanho, 0, kTamanhoBufferCanal);
    std::memcpy(destino, recebido, static_cast<size_t>(n));
    return true;
}

bool cEquipamento::RecebeAck() {
    return UsaTcp() ? canal.ReceberAckTcp() : canal.ReceberAckSerial();
}

int16_t cEquipamento::MontaComando(uint8_t comando, uint8_t subcomando, int32_t tamanho,
                                   const uint8_t* dados) {
    canal.DefinirTipoQuadro(comando == 'L' ? TipoQuadro() : kQuadroDle);
    canal.DefinirEnderecoRtu(modelo == kModeloGwGprs ? kRtuDifusao : GetRtu());
    canal.DefinirUsaTcp(UsaTcp());
    return canal.MontarComando(comando, subcomando, tamanho, dados);
}

void cEquipamento::ModoModbus() {
    canal.DefinirTcp();
    canal.DefinirEnderecoRtu(1);
    canal.DefinirTipoQuadro(kQuadroModbus);
}

}  // namespace tvx
