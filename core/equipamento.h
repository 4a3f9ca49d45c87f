#pragma once
// The one object through which the program talks about the equipment being
// programmed: the technician's choices, the records sent to the device, what
// the device answered, and every link and protocol operation.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/catalogo.h"
#include "core/progresso.h"
#include "core/registros.h"
#include "core/utilitarios.h"
#include "transport/canal.h"

namespace tvx {

inline constexpr const char* kIpFabrica = "192.168.0.101";
inline constexpr uint32_t kMeioIpPadrao = 0;
inline constexpr uint32_t kMeioEsteIp = 1;
inline constexpr uint32_t kMeioSerial = 2;
inline constexpr int kTempoConexaoSegundos = 30;

class cEquipamento {
  public:
    cEquipamento();
    virtual ~cEquipamento();
    cEquipamento(const cEquipamento&) = delete;
    cEquipamento& operator=(const cEquipamento&) = delete;

    // ---- model and selections
    void SetModelo(uint32_t indice) { modelo = indice; }
    uint32_t GetModelo() const { return modelo; }
    bool CarregaInfoModelo();
    uint8_t Familia() const { return infoModelo.familia; }
    bool ProgramaIp() const;
    bool AlterarMac() const;
    bool AlterarCelularSms() const;
    bool AlterarIdTelemetria() const;
    void SetMeio(uint32_t m) { meio = m; }
    uint32_t GetMeio() const { return meio; }
    void SetRtu(uint8_t r) { rtu = r; }
    uint8_t GetRtu() const;
    void SetIpProgramacao(const std::string& t) { ipProgramacao = t; }
    void SetIpNovo(const std::string& t) { ipNovo = t; }
    void SetMascaraNova(const std::string& t) { mascaraNova = t; }
    void SetGatewayNovo(const std::string& t) { gatewayNovo = t; }
    void SetIpLido(const std::string& t) { ipLido = t; }
    void SetMascaraLida(const std::string& t) { mascaraLida = t; }
    void SetGatewayLido(const std::string& t) { gatewayLido = t; }
    const std::string& GetIpProgramacao() const { return ipProgramacao; }
    const std::string& GetIpNovo() const { return ipNovo; }
    const std::string& GetMascaraNova() const { return mascaraNova; }
    const std::string& GetGatewayNovo() const { return gatewayNovo; }
    const std::string& GetIpLido() const { return ipLido; }
    const std::string& GetMascaraLida() const { return mascaraLida; }
    const std::string& GetGatewayLido() const { return gatewayLido; }
    // Rate code of the channel; 9 (38400) for model 25 whatever is stored.
    void SetVelocidade(uint8_t codigo) { canal.DefinirIndiceVelocidade(codigo); }
    uint8_t GetVelocidade() const;
    void SetPorta(const std::string& nome) { canal.DefinirNomePorta(nome); }
    std::string GetPorta() const { return canal.NomePorta(); }
    void PadraoSerial() { canal.DefinirPadraoSerial(); }
    // Posts a copy of texto to janelaProgresso; false and nothing for "".
    bool InformaProgresso(const std::string& texto);
    void AvisaDesligarLigar();

    // ---- model predicates
    bool PermiteIpDefault() const;
    bool PermiteEsteIp() const;
    bool PermiteSerial() const;
    bool PermiteRtuVelocidade() const;
    bool UsaTcp() const;
    uint8_t TipoQuadro() const;
    uint16_t PortaTcp() const;
    bool PodeLer() const;
    bool MostraIpProgramado() const;
    bool MostraEnderecosLidos() const;
    bool ModeloComDip() const;
    bool PermiteReset() const;

    // ---- link operations (TCP or serial by UsaTcp())
    bool Conecta(bool usarIpNovo);
    void Desconecta();
    bool EnviaBruto(const uint8_t* bloco, int tamanho);
    void AguardaResposta();
    bool Recebe(uint8_t* destino, int tamanho);
    bool RecebeAck();
    int16_t MontaComando(uint8_t comando, uint8_t subcomando, int32_t tamanho,
                         const uint8_t* dados);
    // Channel in Modbus mode: TCP, unit 1, frame kind 5.
    void ModoModbus();

    // ---- IP programming (protocols/programacao_ip.cpp)
    bool ProgramarIp(std::string& resultado);
    bool ProgramarIpTexto(std::string& resultado);
    bool ProgramarIpGatewayTx(std::string& resultado);
    bool ProgramarIpGatewayUniversal(std::string& resultado);
    bool ProgramarIpComando(std::string& resultado);
    bool ProgramarIpGatewayModbus(std::string& resultado);
    bool ProgramarIpRegistros(std::string& resultado);

    // ---- reading the device configuration (protocols/leitura.cpp)
    bool LerConfiguracao(std::string& resultado);
    bool LerGatewayUniversal(std::string& resultado);
    bool LerEnderecosTexto(std::string& resultado);
    bool LerRegistrosMedicao(std::string& resultado);

    // ---- extended programming (protocols/programacao_estendida.cpp)
    bool ProgramacaoEstendida(bool& reconectar);
    bool ProgramaMacIdSms(std::string& resultado);
    bool ProgramaMacComando(std::string& resultado);
    bool ProgramaRtuVelocidade(std::string& resultado);
    bool ProgramaTelemetria();
    bool ProgramaUrl();
    bool ProgramaMac(std::string& resultado);
    bool ProgramaReconexao();
    bool ProgramaRelogio(std::string& resultado);
    bool ResetMemoriaMassa(std::string& resultado);
    bool ProgramaCamposMemoria(std::string& resultado);
    bool ProgramaEntradasDigitais(std::string& resultado);
    bool ProgramaSaidasDigitais(std::string& resultado);
    bool EnviaReset();

    // ---- configuration file (persistence/configuracao.cpp)
    // False when the file is there but could not be read (a load), or could
    // not be written (a save); *falha, when given, then names the file and
    // the reason. A load that fails leaves the object as it was.
    bool Configuracao(bool gravar, std::string* falha = nullptr);
    // What a load finds in a file that does not exist.
    void ConfiguracaoPadrao();
    // caminhoConfiguracao, else the working directory and "tvxnetcfg.ini".
    std::string CaminhoArquivoConfiguracao() const;

    // ---- fields, in the order of the object's description
    std::string ipLido;
    std::string mascaraLida;
    std::string gatewayLido;
    cCanal canal;
    InfoModelo infoModelo;
    uint32_t modelo = 0;
    uint32_t meio = 0;
    uint8_t rtu = 0;
    std::string ipProgramacao;
    std::string ipNovo;
    std::string mascaraNova;
    std::string gatewayNovo;
    std::array<uint8_t, kTamanhoRegistroGateway> registroGatewayUniversal{};
    std::array<uint8_t, kTamanhoRegistroTelemetria> registroTelemetria{};
    std::array<uint8_t, kTamanhoRegistroUrl> registroUrl{};
    std::array<uint8_t, kTamanhoRegistroRtuVelocidade> registroRtuVelocidade{};
    std::array<uint8_t, kTamanhoRegistroGateway> registroGatewayModbus{};
    std::array<uint8_t, kTamanhoRegistroGateway> registroGatewayTx{};
    uint16_t entradasDigitais = 0xFFFF;
    uint16_t saidasDigitais = 3;
    uint32_t ipModbus = 0;
    std::array<uint8_t, kTamanhoRegistroReconexao> registroReconexao{};
    uint8_t medidorIon = 0;
    uint8_t rtuMedidorIon = 0;
    JanelaProgresso* janelaProgresso = nullptr;
    uint32_t mensagemProgresso = 0;
    std::string caminhoConfiguracao;
    // The telemetry ID and URL as the configuration file held them, when they
    // hold characters that their Latin-1 records cannot ("€", curly quotes):
    // the page shows them and a save keeps them, so that the technician is
    // told on Next instead of a "?" reaching the device. Empty otherwise.
    std::string idTelemetriaArquivo;
    std::string urlArquivo;
    // The text of the record's field, or the file's text while the field
    // still holds what that text became.
    std::string TextoIdTelemetria() const;
    std::string TextoUrl() const;

    // The clock whose time the clock-setting step sends; tests set their own.
    std::function<Relogio()> relogio = [] { return LerRelogio(); };
};

// The program-wide instance used by the wizard and the headless front end.
cEquipamento& EquipamentoGlobal();

}  // namespace tvx
