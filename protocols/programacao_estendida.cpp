// The optional settings a model accepts besides its addresses, sent as ticked
// steps before the IP programming, and the restart command that ends a run.
#include <array>
#include <chrono>
#include <cstring>
#include <string>

#include "core/equipamento.h"
#include "core/texto.h"
#include "protocols/protocolos_comum.h"

namespace tvx {

namespace {

using namespace protocolos;

constexpr auto kPausaAposPasso = std::chrono::milliseconds(1000);

// Framed MAC (step 11): tag, "MAC=", six bytes.
constexpr size_t kTamanhoPayloadMac = kTamanhoTag + 4 + kTamanhoMac;

// Memory-field entries (step 20).
constexpr size_t kTamanhoPayloadCampos = 866;
constexpr size_t kTamanhoEntradaCampo = 27;
constexpr uint8_t kCamposMemoria[] = {1, 3, 4};
constexpr uint8_t kTipoRep = 0x08;
constexpr uint8_t kTipoIon = 0x20;
constexpr uint8_t kMarcaRtuIon = 0x22;

constexpr uint8_t kSubMac = 20;
constexpr uint8_t kSubRtuVelocidade = 2;
constexpr uint8_t kSubTelemetria = 25;
constexpr uint8_t kSubUrl = 26;
constexpr uint8_t kSubReconexao = 28;
constexpr uint8_t kSubReset = 24;
constexpr uint8_t kSubRelogio = 1;
constexpr uint8_t kSubCamposMemoria = 4;
constexpr uint8_t kSubMemoriaMassa = 5;

// The common pattern of an acknowledged command: send, wait, check the 0x06.
// Texts may be null for the steps that report nothing themselves.
bool EnviarComAck(cEquipamento& e, uint8_t comando, uint8_t subcomando, int32_t tamanho,
                  const uint8_t* dados, std::string* resultado, const char* falhaEnvio,
                  const char* recusa) {
    if (!EnviarComando(e, comando, subcomando, tamanho, dados)) {
        if (resultado) {
            *resultado = falhaEnvio;
        }
        return false;
    }
    e.AguardaResposta();
    if (!e.RecebeAck()) {
        if (resultado) {
            *resultado = recusa;
        }
        return false;
    }
    if (resultado) {
        resultado->clear();
    }
    return true;
}

bool EscreverPalavra(cEquipamento& e, uint16_t registro, uint16_t valor) {
    e.ModoModbus();
    uint8_t dados[2];
    RegistroPara(dados, valor);
    uint8_t saida[kTamanhoRespostaEscrita] = {};
    return e.canal.EscreverRegistros(registro, dados, sizeof dados, saida, sizeof saida);
}

// How a failed step ends the sequence.
enum class Desfecho {
    PostarEDesconectar,  // the link is in an unknown state
    Postar,              // the device refused; the link is fine
    Calar,               // the run reports the failure
};

struct Passo {
    const char* anuncio;
    Desfecho desfecho;
};

// nullptr for a kind without routine.
const Passo* PassoDoId(uint8_t id) {
    static const Passo kMacIdSms{"Enviando programação de MAC, ID Telemetria e Celular SMS...",
                                 Desfecho::PostarEDesconectar};
    static const Passo kMacComando{"Enviando programação de MAC...", Desfecho::Calar};
    static const Passo kRtuVelocidade{"Enviando programação de RTU e Velocidade...",
                                      Desfecho::Postar};
    static const Passo kTelemetria{"Enviando programação de ID e Operadora...", Desfecho::Calar};
    static const Passo kUrl{"Enviando programação de URL...", Desfecho::Calar};
    static const Passo kMac{"Enviando programação de MAC...", Desfecho::PostarEDesconectar};
    static const Passo kReconexao{"Enviando programação do tempo de reconexão...", Desfecho::Calar};
    static const Passo kRelogio{"Enviando programação de relógio...", Desfecho::PostarEDesconectar};
    static const Passo kMemoriaMassa{"Reset da Memória de Massa...", Desfecho::PostarEDesconectar};
    static const Passo kCampos{"Campos de Memória...", Desfecho::PostarEDesconectar};
    static const Passo kEntradas{"Enviando programação de Entrada Digital...",
                                 Desfecho::PostarEDesconectar};
    static const Passo kSaidas{"Enviando programação de Saída Digital...",
                               Desfecho::PostarEDesconectar};
    switch (id) {
        case kPassoMacIdSms:
            return &kMacIdSms;
        case kPassoMacComando:
            return &kMacComando;
        case kPassoRtuVelocidade:
            return &kRtuVelocidade;
        case kPassoTelemetria:
            return &kTelemetria;
        case kPassoUrl:
            return &kUrl;
        case kPassoMac:
            return &kMac;
        case kPassoReconexao:
            return &kReconexao;
        case kPassoRelogio:
            return &kRelogio;
        case kPassoMemoriaMassa:
            return &kMemoriaMassa;
        case kPassoCamposMemoria:
            return &kCampos;
        case kPassoEntradasDigitais:
            return &kEntradas;
        case kPassoSaidasDigitais:
            return &kSaidas;
        default:
            return nullptr;
    }
}

bool ExecutarPasso(cEquipamento& e, uint8_t id, std::string& texto) {
    switch (id) {
        case kPassoMacIdSms:
            return e.ProgramaMacIdSms(texto);
        case kPassoMacComando:
            return e.ProgramaMacComando(texto);
        case kPassoRtuVelocidade:
            return e.ProgramaRtuVelocidade(texto);
        case kPassoTelemetria:
            return e.ProgramaTelemetria();
        case kPassoUrl:
            return e.ProgramaUrl();
        case kPassoMac:
            return e.ProgramaMac(texto);
        case kPassoReconexao:
            return e.ProgramaReconexao();
        case kPassoRelogio:
            return e.ProgramaRelogio(texto);
        case kPassoMemoriaMassa:
            return e.ResetMemoriaMassa(texto);
        case kPassoCamposMemoria:
            return e.ProgramaCamposMemoria(texto);
        case kPassoEntradasDigitais:
            return e.ProgramaEntradasDigitais(texto);
        case kPassoSaidasDigitais:
            return e.ProgramaSaidasDigitais(texto);
        default:
            return true;
    }
}

}  // namespace

bool cEquipamento::ProgramacaoEstendida(bool& reconectar) {
    // One text for the whole sequence: a step that writes nothing shows what
    // the step before it left.
    std::string texto;
    for (const PassoModelo& slot : infoModelo.passos) {
        if (slot.id == 0 || slot.marcado == 0) {
            continue;
        }
        const Passo* passo = PassoDoId(slot.id);
        if (passo) {
            InformaProgresso(passo->anuncio);
            if (!ExecutarPasso(*this, slot.id, texto)) {
                switch (passo->desfecho) {
                    case Desfecho::PostarEDesconectar:
                        InformaProgresso(texto);
                        Desconecta();
                        break;
                    case Desfecho::Postar:
                        InformaProgresso(texto);
                        break;
                    case Desfecho::Calar:
                        break;
                }
                return false;
            }
        }
        reconectar = true;
        InformaProgresso(texto);
        InformaProgresso("OK.");
        // A stop of the run ends the sequence here: no further step is sent.
        if (canal.Pausar(kPausaAposPasso)) {
            return false;
        }
    }
    return true;
}

bool cEquipamento::ProgramaMacIdSms(std::string& resultado) {
    std::array<uint8_t, kTamanhoBlocoMac> bloco{};
    const OpcaoModelo* opcoes = infoModelo.opcoes.data();
    std::memcpy(bloco.data() + kMacMarca, "MAC=", 4);
    TextoParaMac(opcoes[kOpcaoMac].valor, bloco.data() + kMacValor);
    std::memcpy(bloco.data() + kIdMarca, "ID=", 3);
    GravarTextoNoCampo(bloco.data() + kIdValor, kMaximoId, opcoes[kOpcaoIdTelemetria].valor,
                       kMaximoId);
    std::memcpy(bloco.data() + kSmsMarca, "S=", 2);
    GravarTextoNoCampo(bloco.data() + kSmsValor, kMaximoSms, opcoes[kOpcaoCelularSms].valor,
                       kMaximoSms);
    if (!EnviaBruto(bloco.data(), static_cast<int>(bloco.size()))) {
        resultado = "Programação de MAC, ID e Celular SMS falhou.";
        return false;
    }
    std::array<uint8_t, kTamanhoBlocoMac> resposta;
    const auto recebido = ReceberResposta(*this, resposta, resultado);
    return recebido && GuardarResposta(*this, DecodificarEcoMacIdSms(*recebido), resultado, true);
}

bool cEquipamento::ProgramaMac(std::string& resultado) {
    std::array<uint8_t, kTamanhoBlocoMac> bloco{};
    std::memcpy(bloco.data() + kMacMarca, "MAC=", 4);
    TextoParaMac(infoModelo.opcoes[kOpcaoMac].valor, bloco.data() + kMacValor);
    if (!EnviaBruto(bloco.data(), static_cast<int>(bloco.size()))) {
        resultado = "Programação de MAC falhou.";
        return false;
    }
    std::array<uint8_t, kTamanhoRespostaMac> resposta;
    const auto recebido = ReceberResposta(*this, resposta, resultado);
    return recebido && GuardarResposta(*this, DecodificarEcoMac(*recebido), resultado, true);
}

bool cEquipamento::ProgramaMacComando(std::string& resultado) {
    std::array<uint8_t, kTamanhoPayloadMac> payload{};
    EscreverTag(payload.data(), kTagTvx5150s);
    std::memcpy(payload.data() + kTamanhoTag, "MAC=", 4);
    TextoParaMac(infoModelo.opcoes[kOpcaoMac].valor, payload.data() + kTamanhoTag + 4);
    return EnviarComAck(*this, kComandoL, kSubMac, static_cast<int32_t>(payload.size()),
                        payload.data(), &resultado, "Programação de MAC falhou.",
                        kFalhaProgramacao);
}

bool cEquipamento::ProgramaRtuVelocidade(std::string& resultado) {
    auto payload = registroRtuVelocidade;
    EscreverTag(payload.data(), kTagTvx3000a);
    return EnviarComAck(*this, kComandoL, kSubRtuVelocidade, static_cast<int32_t>(payload.size()),
                        payload.data(), &resultado, "Programação de RTU/Velocidade.",
                        kFalhaProgramacao);
}

bool cEquipamento::ProgramaTelemetria() {
    EscreverTag(registroTelemetria.data(), kTagTvx3300s);
    return EnviarComAck(*this, kComandoL, kSubTelemetria,
                        static_cast<int32_t>(registroTelemetria.size()), registroTelemetria.data(),
                        nullptr, nullptr, nullptr);
}

bool cEquipamento::ProgramaUrl() {
    EscreverTag(registroUrl.data(), kTagTvx3300s);
    return EnviarComAck(*this, kComandoL, kSubUrl, static_cast<int32_t>(registroUrl.size()),
                        registroUrl.data(), nullptr, nullptr, nullptr);
}

bool cEquipamento::ProgramaReconexao() {
    EscreverTag(registroReconexao.data(), kTagTvx3300w);
    return EnviarComAck(*this, kComandoL, kSubReconexao,
                        static_cast<int32_t>(registroReconexao.size()), registroReconexao.data(),
                        nullptr, nullptr, nullptr);
}

bool cEquipamento::ProgramaRelogio(std::string& resultado) {
    uint8_t bytes[6];
    RelogioSeisBytes(relogio(), bytes);
    return EnviarComAck(*this, kComandoP, kSubRelogio, sizeof bytes, bytes, &resultado,
                        "Programação de relógio", kFalhaProgramacao);
}

bool cEquipamento::ResetMemoriaMassa(std::string& resultado) {
    return EnviarComAck(*this, kComandoP, kSubMemoriaMassa, 0, nullptr, &resultado,
                        "Reset da memória de massa", "Falha no reset da memória.");
}

bool cEquipamento::ProgramaCamposMemoria(std::string& resultado) {
    std::array<uint8_t, kTamanhoPayloadCampos> payload{};
    const bool ion = medidorIon == 1;
    for (size_t i = 0; i < std::size(kCamposMemoria); ++i) {
        uint8_t* entrada = payload.data() + i * kTamanhoEntradaCampo;
        entrada[0] = kCamposMemoria[i];
        entrada[1] = ion ? kTipoIon : kTipoRep;
        entrada[2] = 1;  // 32-bit 1, least significant byte first
        entrada[6] = 1;  // again
        entrada[12] = ion ? rtuMedidorIon : 0;
        entrada[13] = ion ? kMarcaRtuIon : 0;
    }
    return EnviarComAck(*this, kComandoP, kSubCamposMemoria, static_cast<int32_t>(payload.size()),
                        payload.data(), &resultado, "Programação dos campos de memória",
                        "Falha programação dos campos de memória.");
}

bool cEquipamento::ProgramaEntradasDigitais(std::string& resultado) {
    if (!EscreverPalavra(*this, kRegistroEntradas, entradasDigitais)) {
        resultado = "Falha ao programar Entrada Digital";
        return false;
    }
    resultado.clear();
    return true;
}

bool cEquipamento::ProgramaSaidasDigitais(std::string& resultado) {
    if (!EscreverPalavra(*this, kRegistroSaidas, saidasDigitais)) {
        resultado = "Falha ao programar Saída Digital";
        return false;
    }
    resultado.clear();
    return true;
}

bool cEquipamento::EnviaReset() {
    if (!PermiteReset()) {
        return true;
    }
    uint8_t tag[kTamanhoTag];
    EscreverTag(tag, kTagTvx5150s);
    return EnviarComando(*this, kComandoL, kSubReset, sizeof tag, tag);
}

}  // namespace tvx
