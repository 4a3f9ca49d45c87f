#include "core/catalogo.h"

#include <cstddef>

namespace tvx {

namespace {

constexpr const char* kTextoSemModelo = "Selecione um equipamento";

// The front-panel password that opens IP programming on the models with a
// keypad. The same six presses on every such panel.
#define TVX_SENHA_PAINEL "CIMA, CIMA, BAIXO, BAIXO, CIMA, BAIXO"

// Putting each model into its programming mode, step by step, as the model
// page shows it to the technician.
constexpr const char* kInstrucoes[] = {
    // 0
    "1) Coloque as chaves DIP 1, 3, 5 e 7 em ON e 2, 4, 6 e 8 em OFF.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Retorne as chaves DIP à posição original.\r\n"
    "6) Desligue e religue o equipamento e utilize-o normalmente.",

    // 1
    "1) Interligue com um fio os bornes 'PRG' ou 'PROG IP' do equipamento.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Retire o fio que interliga os bornes 'PRG' ou 'PROG IP'.\r\n"
    "6) Desligue e religue o equipamento.",

    // 2
    "1) Descubra o endereço IP atual do equipamento. Se não for possível descobri-lo, "
    "faça a programação pela porta serial com RTU=1 e velocidade 38400.\r\n"
    "2) Após a programação, desligue e religue o equipamento para que o novo IP "
    "passe a valer.",

    // 3
    "1) Coloque as chaves DIP 1, 3, 5 e 7 em OFF e 2, 4, 6 e 8 em ON.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Retorne as chaves DIP à posição original.\r\n"
    "6) Desligue e religue o equipamento e utilize-o normalmente.",

    // 4
    "1) Coloque a chave DIP 8 em OFF.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Retorne a chave DIP 8 à posição original.\r\n"
    "6) Desligue e religue o equipamento e utilize-o normalmente.",

    // 5
    "1) Coloque as chaves DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Retorne as chaves DIP à posição original.\r\n"
    "6) Desligue e religue o equipamento e utilize-o normalmente.",

    // 6
    "1) No painel frontal, entre no modo de programação pressionando as teclas ESC e PRG.\r\n"
    "2) Selecione a opção 'PROG IP'.\r\n"
    "3) Pressione a tecla PRG.\r\n"
    "4) Digite a senha do painel pressionando as setas na sequência " TVX_SENHA_PAINEL
    ".\r\n"
    "5) Confira se o display mostra 'PRG LIG'.\r\n"
    "6) Neste programa, preencha os parâmetros desejados e clique em AVANÇAR.\r\n"
    "7) Clique em PROGRAMAR.\r\n"
    "8) Após a programação, pressione a tecla PRG no equipamento.",

    // 7
    "1) Coloque as chaves DIP 1, 2, 5 e 6 em OFF e 3, 4, 7 e 8 em ON.\r\n"
    "2) Desligue e religue o equipamento.\r\n"
    "3) Preencha os parâmetros desejados.\r\n"
    "4) A programação do MAC é opcional; verifique se o MAC atual do equipamento é "
    "válido para a sua rede.\r\n"
    "5) Clique em PROGRAMAR.\r\n"
    "6) Retorne as chaves DIP à posição original.\r\n"
    "7) Desligue e religue o equipamento.",

    // 8
    "1) Pressione rapidamente as teclas ESC e PRG.\r\n"
    "2) Pressione a seta para CIMA até aparecer 'PrG IP'.\r\n"
    "3) Pressione PRG; o display mostrará 'dIG SEnhA'.\r\n"
    "4) Digite a senha pressionando as setas na sequência " TVX_SENHA_PAINEL
    "; o display mostrará 'PrG IP LIG'.\r\n"
    "5) O equipamento passa a responder no endereço IP 192.168.0.101.\r\n"
    "6) Preencha os parâmetros desejados.\r\n"
    "7) Clique em PROGRAMAR.\r\n"
    "8) Pressione a tecla 'PrG' no equipamento.\r\n"
    "9) Confira se o display mostra 'EFEtu'.",

    // 9
    "1) Mantenha a tecla 'PRG' pressionada por 3 segundos.\r\n"
    "2) Confira se o LED 'Modo PRG'/'ATV' pisca em vermelho.\r\n"
    "3) Preencha o ID e a operadora de telemetria.\r\n"
    "4) Preencha os demais parâmetros desejados.\r\n"
    "5) Clique em PROGRAMAR.\r\n"
    "6) Aguarde o fim da programação.\r\n"
    "7) Mantenha a tecla 'PRG' pressionada novamente por 3 segundos.\r\n"
    "8) Confira se o LED 'Modo PRG'/'ATV' pisca em verde.",

    // 10
    "1) Em qualquer tela de medição, pressione 'PRG'.\r\n"
    "2) Pressione a seta para BAIXO até aparecer 'Para programar IP aperte PRG'.\r\n"
    "3) Pressione 'PRG'.\r\n"
    "4) Digite a senha pressionando as setas na sequência " TVX_SENHA_PAINEL
    ".\r\n"
    "5) Preencha os parâmetros desejados.\r\n"
    "6) Clique em PROGRAMAR.\r\n"
    "7) Após a programação, pressione 'ESC' no equipamento.\r\n"
    "8) Utilize o equipamento normalmente.",

    // 11
    "1) Mantenha a tecla 'PRG' pressionada por 6 segundos.\r\n"
    "2) Confira se o LED pisca em vermelho.\r\n"
    "3) O equipamento passa a responder no IP padrão 192.168.0.101.\r\n"
    "4) Preencha o novo IP, a máscara e o gateway.\r\n"
    "5) Escolha a função ou a programação desejada.\r\n"
    "6) Clique em PROGRAMAR.\r\n"
    "7) Aguarde o fim da programação.\r\n"
    "8) Mantenha a tecla 'PRG' pressionada por 3 segundos.\r\n"
    "9) Confira se o LED pisca em verde.",

    // 12
    "1) Mantenha a tecla 'PRG' pressionada por 6 segundos.\r\n"
    "2) Confira se o LED pisca em vermelho.\r\n"
    "3) O equipamento passa a responder no IP padrão 192.168.0.101.\r\n"
    "4) Preencha o novo IP, a máscara e o gateway.\r\n"
    "5) Clique em PROGRAMAR.\r\n"
    "6) Aguarde o fim da programação.\r\n"
    "7) Mantenha a tecla 'PRG' pressionada por 3 segundos.\r\n"
    "8) Confira se o LED pisca em verde.",

    // 13
    "1) Pressione o botão 'PROG' do equipamento.",

    // 14
    "1) Desligue o equipamento.\r\n"
    "2) Coloque a chave DIP 8 em OFF.\r\n"
    "3) Ligue o equipamento; ele entra em modo de programação no IP padrão 192.168.0.101.\r\n"
    "4) Preencha o novo IP, a máscara e o gateway.\r\n"
    "5) Clique em PROGRAMAR.\r\n"
    "6) Desligue o equipamento.\r\n"
    "7) Coloque a chave DIP 8 em ON.\r\n"
    "8) Ligue o equipamento e utilize-o normalmente.",

    // 15
    "1) Leia o IP do equipamento no display, no modo 'ANALISE'.\r\n"
    "2) Configure o computador na mesma faixa de endereços do equipamento.\r\n"
    "3) Preencha o novo IP, a máscara e o gateway.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Utilize o equipamento normalmente.",

    // 16
    "1) Leia o IP do equipamento no display, no modo de programação de IP.\r\n"
    "2) Configure o computador na mesma faixa de endereços do equipamento.\r\n"
    "3) Preencha o novo IP, a máscara e o gateway.\r\n"
    "4) Clique em PROGRAMAR.\r\n"
    "5) Utilize o equipamento normalmente.",
};

#undef TVX_SENHA_PAINEL

constexpr size_t kQuantidadeTextos = sizeof(kInstrucoes) / sizeof(kInstrucoes[0]);
static_assert(kQuantidadeTextos == 17);

constexpr uint8_t kSemTexto = 0xFF;  // row 0 has its own short text

// Offered option slots, as bits.
constexpr uint8_t kOfereceMac = 1u << kOpcaoMac;
constexpr uint8_t kOfereceSms = 1u << kOpcaoCelularSms;
constexpr uint8_t kOfereceId = 1u << kOpcaoIdTelemetria;

struct Linha {
    const char* nome;
    uint8_t texto;
    uint8_t familia;
    uint8_t opcoes;
    uint8_t passos[10];
};

constexpr Linha kCatalogo[] = {
    {"Nenhum", kSemTexto, kFamiliaSemModelo, 0, {}},
    {"TVX2201U - Gateway Universal", 1, kFamiliaGatewayUniversal, 0, {kPassoMac}},
    {"TVX3300E", 2, kFamiliaComando, 0, {}},
    {"TVX5150S", 2, kFamiliaComando, 0, {}},
    {"TVX1800S", 2, kFamiliaComando, 0, {}},
    // The telemetry step sits in the second slot; the first is left empty.
    {"TVX5150TAP", 2, kFamiliaComando, 0, {0, kPassoTelemetria}},
    {"TVX6400ST", 7, kFamiliaComando, 0, {kPassoMacComando}},
    {"TVX6210ST", 7, kFamiliaComando, 0, {kPassoMacComando}},
    {"TVX900", 3, kFamiliaTexto, 0, {}},
    {"TVX2201", 1, kFamiliaTexto, 0, {}},
    {"TVX1420E", 4, kFamiliaTexto, 0, {}},
    {"TVX6400", 5, kFamiliaTexto, 0, {}},
    {"TVX6210", 5, kFamiliaTexto, 0, {}},
    {"TVX2200", 3, kFamiliaTexto, 0, {}},
    {"TVX1600E/TVX1600ME", 6, kFamiliaTexto, 0, {}},
    {"TVX8100", 2, kFamiliaComando, 0, {}},
    {"TVX2700 - GPRS", 3, kFamiliaTexto, kOfereceMac | kOfereceSms | kOfereceId, {kPassoMacIdSms}},
    {"TVX6300LST", 7, kFamiliaComando, 0, {kPassoMacComando}},
    {"TVX160", 1, kFamiliaComando, 0, {}},
    {"TVX2201 - TCPMBUS (Linkora Modbus - V3)", 1, kFamiliaGatewayModbus, 0, {}},
    {"TVX2900E/ME", 8, kFamiliaTexto, 0, {}},
    {"TVX2700 - GWTX940", 0, kFamiliaGatewayTx, 0, {}},
    {"TVX3500R", 2, kFamiliaComando, 0, {kPassoMacComando}},
    {"TVX3300E - Telemetria",
     2,
     kFamiliaComando,
     0,
     {kPassoRtuVelocidade, kPassoTelemetria, kPassoMacComando, kPassoUrl}},
    {"TVX3300E - GWGPRS",
     2,
     kFamiliaComando,
     0,
     {kPassoRtuVelocidade, kPassoTelemetria, kPassoMacComando, kPassoUrl}},
    {"TVX3300WEB",
     9,
     kFamiliaNenhuma,
     0,
     {kPassoTelemetria, kPassoUrl, kPassoReconexao, kPassoRelogio, kPassoMemoriaMassa,
      kPassoCamposMemoria}},
    {"TVX5150E", 10, kFamiliaTexto, 0, {kPassoMac}},
    {"TVX2201S - Gateway Universal", 11, kFamiliaGatewayUniversal, 0, {kPassoMac}},
    {"TVX2201SW - Gateway GWTX940 5 IPs", 11, kFamiliaGatewayTx, 0, {kPassoMac}},
    {"TVX3300S", 12, kFamiliaComando, 0, {}},
    {"TVXK42", 13, kFamiliaRegistros, 0, {kPassoEntradasDigitais, kPassoSaidasDigitais}},
    {"TVX3500S", 12, kFamiliaComando, 0, {}},
    {"TVX940E", 14, kFamiliaTexto, kOfereceMac, {kPassoMacIdSms}},
    {"RDA5526Q", 15, kFamiliaComando, 0, {}},
    {"Analisador TVX5150S", 16, kFamiliaComando, 0, {kPassoMacComando}},
};

static_assert(sizeof(kCatalogo) / sizeof(kCatalogo[0]) == kQuantidadeModelos);

const char* TextoDaLinha(const Linha& linha) {
    return linha.texto < kQuantidadeTextos ? kInstrucoes[linha.texto] : kTextoSemModelo;
}

}  // namespace

bool ObtemInfoModelo(uint32_t indice, InfoModelo& registro) {
    // Loading a model discards every tick and option text of the previous one.
    registro = InfoModelo{};
    if (indice >= kQuantidadeModelos) {
        return false;
    }
    const Linha& linha = kCatalogo[indice];
    registro.nome = linha.nome;
    registro.instrucoes = TextoDaLinha(linha);
    registro.familia = linha.familia;
    for (size_t i = 0; i < registro.opcoes.size(); ++i) {
        registro.opcoes[i].oferecida = (linha.opcoes >> i) & 1u;
    }
    for (size_t i = 0; i < registro.passos.size(); ++i) {
        registro.passos[i].id = linha.passos[i];
    }
    return true;
}

bool ObtemNomeModelo(uint32_t indice, std::string& texto) {
    if (indice >= kQuantidadeModelos) {
        return false;
    }
    texto = kCatalogo[indice].nome;
    return true;
}

bool ObtemInstrucoes(uint32_t indice, std::string& texto) {
    if (indice >= kQuantidadeModelos) {
        return false;
    }
    texto = TextoDaLinha(kCatalogo[indice]);
    return true;
}

const char* NomeFuncaoGateway(uint8_t codigo) {
    switch (codigo) {
        case 33:
            return "Gateway TX ION";
        case 51:
            return "Gateway RX";
        case 85:
            return "Gateway TX940";
        case 170:
            return "Gateway Modbus";
        case 255:
            return "Gateway PC";
        default:
            return "?";
    }
}

}  // namespace tvx
