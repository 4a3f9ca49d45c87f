// The wizard's memory of the technician's last choices: "tvxnetcfg.ini".
#include <string>

#include "core/equipamento.h"
#include "core/registros.h"
#include "core/texto.h"
#include "core/utilitarios.h"
#include "persistence/locais.h"
#include "persistence/os/arquivos.h"
#include "persistence/perfil_ini.h"
#include "transport/serial.h"

namespace tvx {

namespace {

constexpr size_t kBufferTexto = 260;
constexpr size_t kMaximoId = 19;
constexpr size_t kMaximoUrl = 80;

constexpr uint32_t kModeloGatewayModbus = 19;
constexpr uint32_t kModeloGatewayTx = 21;

std::string Decimal(unsigned valor) {
    return std::to_string(valor);
}

std::string SecaoMedidor(size_t n) {
    return "GATEWAY_MODBUS_" + std::to_string(n);
}
std::string ChaveIpGateway(size_t n) {
    return "ip" + std::to_string(n);
}

void GravarIp(cPerfilIni& perfil, const std::string& secao, const std::string& chave,
              const uint8_t* registro, size_t offset) {
    perfil.GravarTexto(secao, chave, IpParaTexto(LerIpRegistro(registro, offset), true));
}

void LerIp(const cPerfilIni& perfil, const std::string& secao, const std::string& chave,
           uint8_t* registro, size_t offset) {
    EscreverIpRegistro(registro, offset,
                       TextoParaIp(perfil.LerTexto(secao, chave, "", kBufferTexto)));
}

uint8_t Byte(const cPerfilIni& perfil, std::string_view secao, std::string_view chave, int padrao) {
    return static_cast<uint8_t>(perfil.LerInteiro(secao, chave, padrao));
}

// What the technician reads: the file and the reason.
std::string TextoFalha(const char* acao, const std::string& caminho,
                       const os::ResultadoArquivo& resultado) {
    const std::string motivo = resultado.erro == os::kErroGrande
                                   ? "passa do limite de 1 MiB de um arquivo de configuração"
                                   : os::MotivoFalha(resultado);
    return std::string("não foi possível ") + acao + " o arquivo de configuração \"" + caminho +
           "\": " + motivo;
}

// The file's text for a Latin-1 record field: written into the field, and
// kept aside when the field cannot hold it as it is.
void TextoParaCampo(const std::string& texto, uint8_t* campo, size_t tamanho, size_t maximo,
                    std::string& guardado) {
    GravarTextoNoCampo(campo, tamanho, texto, maximo);
    guardado = Latin1ParaUtf8(Utf8ParaLatin1(texto)) == texto ? std::string() : texto;
}

void Aplicar(cEquipamento& eq, const cPerfilIni& perfil) {
    eq.SetIpNovo(perfil.LerTexto("CONFIG", "ip", "", kBufferTexto));
    eq.SetMascaraNova(perfil.LerTexto("CONFIG", "mask", "", kBufferTexto));
    eq.SetGatewayNovo(perfil.LerTexto("CONFIG", "gateway", "", kBufferTexto));
    eq.SetModelo(static_cast<uint32_t>(perfil.LerInteiro("CONFIG", "modelo", 1)));

    eq.SetMeio(static_cast<uint32_t>(perfil.LerInteiro("MEIO", "tipo", 0)));
    eq.SetIpProgramacao(perfil.LerTexto("MEIO", "ip", "", kBufferTexto));
    eq.SetPorta(perfil.LerTexto("MEIO", "porta", "", kBufferTexto));
    // A text outside the rate table leaves the channel's rate as it was.
    const uint8_t indice =
        IndiceDaVelocidade(perfil.LerTexto("MEIO", "velocidade", "38400", kBufferTexto));
    if (TextoVelocidade(indice) != nullptr) {
        eq.SetVelocidade(indice);
    }
    eq.SetRtu(Byte(perfil, "MEIO", "rtu", 1));

    eq.registroTelemetria[kTelOperadora] = Byte(perfil, "ESPECIAL", "operadora", 0);
    TextoParaCampo(perfil.LerTexto("ESPECIAL", "id", "", kMaximoId + 1),
                   &eq.registroTelemetria[kTelId], kTamanhoIdTelemetria, kMaximoId,
                   eq.idTelemetriaArquivo);
    TextoParaCampo(perfil.LerTexto("ESPECIAL", "url", "", kMaximoUrl + 1),
                   &eq.registroUrl[kUrlTexto], kTamanhoUrl, kMaximoUrl, eq.urlArquivo);

    uint8_t* gm = eq.registroGatewayModbus.data();
    gm[kGmVelocidade] = Byte(perfil, "GATEWAY_MODBUS", "velocidadade", 0);
    for (size_t n = 1; n <= kQuantidadeMedidores; ++n) {
        const std::string secao = SecaoMedidor(n);
        const size_t i = n - 1;
        LerIp(perfil, secao, "ip", gm, kGmIpMedidor + 4 * i);
        gm[kGmFuncaoMedidor + i] = Byte(perfil, secao, "funcao", 0);
        gm[kGmQuantidadeRegistros + i] = Byte(perfil, secao, "numreg", 0);
        gm[kGmRtuMedidor + i] = Byte(perfil, secao, "rtu", 0);
        EscreverU16Le(&gm[kGmRegistroInicial + 2 * i],
                      static_cast<uint16_t>(perfil.LerInteiro(secao, "endini", 0)));
    }

    uint8_t* gt = eq.registroGatewayTx.data();
    gt[kGtFaixaRtu] = Byte(perfil, "LINKORA_940_5", "faixartu", 0);
    for (size_t n = 1; n <= kQuantidadeMedidores; ++n) {
        LerIp(perfil, "LINKORA_940_5", ChaveIpGateway(n), gt, kGtIpGateway + 4 * (n - 1));
    }
}

}  // namespace

std::string cEquipamento::CaminhoArquivoConfiguracao() const {
    if (!caminhoConfiguracao.empty()) {
        return caminhoConfiguracao;
    }
    const std::string pasta = os::DiretorioAtual();
    if (pasta.empty()) {
        return kNomeConfiguracao;  // relative to whatever the working directory is
    }
    return pasta.back() == '/' ? pasta + kNomeConfiguracao : pasta + "/" + kNomeConfiguracao;
}

void cEquipamento::ConfiguracaoPadrao() {
    Aplicar(*this, cPerfilIni());
}

bool cEquipamento::Configuracao(bool gravar, std::string* falha) {
    const std::string caminho = CaminhoArquivoConfiguracao();
    cPerfilIni perfil;
    const os::ResultadoArquivo lido = perfil.Carregar(caminho);
    // A file that is there but cannot be read is neither taken for an empty
    // one (the run would go to the factory address) nor replaced by one that
    // holds only these keys.
    if (!lido.Ok()) {
        if (falha != nullptr) {
            *falha = TextoFalha(gravar ? "gravar" : "ler", caminho, lido);
        }
        return false;
    }
    if (!gravar) {
        Aplicar(*this, perfil);
        return true;
    }

    perfil.GravarTexto("CONFIG", "ip", GetIpNovo());
    perfil.GravarTexto("CONFIG", "mask", GetMascaraNova());
    perfil.GravarTexto("CONFIG", "gateway", GetGatewayNovo());
    perfil.GravarTexto("CONFIG", "modelo", Decimal(GetModelo()));

    perfil.GravarTexto("MEIO", "tipo", Decimal(GetMeio()));
    perfil.GravarTexto("MEIO", "ip", GetIpProgramacao());
    perfil.GravarTexto("MEIO", "porta", GetPorta());
    // Index 15 is accepted by the port and runs at 9600 but has no text of
    // its own; the rate it runs at is what the next start should get back.
    const char* velocidade = TextoVelocidade(GetVelocidade());
    perfil.GravarTexto("MEIO", "velocidade",
                       velocidade != nullptr ? std::string(velocidade)
                                             : Decimal(VelocidadePorIndice(GetVelocidade())));
    perfil.GravarTexto("MEIO", "rtu", Decimal(GetRtu()));

    perfil.GravarTexto("ESPECIAL", "operadora", Decimal(registroTelemetria[kTelOperadora]));
    perfil.GravarTexto("ESPECIAL", "id", TextoIdTelemetria());
    perfil.GravarTexto("ESPECIAL", "url", TextoUrl());

    if (GetModelo() == kModeloGatewayModbus) {
        const uint8_t* gm = registroGatewayModbus.data();
        perfil.GravarTexto("GATEWAY_MODBUS", "velocidadade", Decimal(gm[kGmVelocidade]));
        for (size_t n = 1; n <= kQuantidadeMedidores; ++n) {
            const std::string secao = SecaoMedidor(n);
            const size_t i = n - 1;
            GravarIp(perfil, secao, "ip", gm, kGmIpMedidor + 4 * i);
            perfil.GravarTexto(secao, "funcao", Decimal(gm[kGmFuncaoMedidor + i]));
            perfil.GravarTexto(secao, "numreg", Decimal(gm[kGmQuantidadeRegistros + i]));
            perfil.GravarTexto(secao, "rtu", Decimal(gm[kGmRtuMedidor + i]));
            perfil.GravarTexto(secao, "endini", Decimal(LerU16Le(&gm[kGmRegistroInicial + 2 * i])));
        }
    }
    if (GetModelo() == kModeloGatewayTx) {
        const uint8_t* gt = registroGatewayTx.data();
        perfil.GravarTexto("LINKORA_940_5", "faixartu", Decimal(gt[kGtFaixaRtu]));
        for (size_t n = 1; n <= kQuantidadeMedidores; ++n) {
            GravarIp(perfil, "LINKORA_940_5", ChaveIpGateway(n), gt, kGtIpGateway + 4 * (n - 1));
        }
    }

    // The old file stays whole when the new one cannot be written; the
    // caller tells the technician.
    os::ResultadoArquivo salvo = PrepararPasta(caminho);
    if (salvo.Ok()) {
        salvo = perfil.Salvar(caminho);
    }
    if (!salvo.Ok() && falha != nullptr) {
        *falha = TextoFalha("gravar", caminho, salvo);
    }
    return salvo.Ok();
}

}  // namespace tvx
