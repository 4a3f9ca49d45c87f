// The parameters page without its widgets: the rows built for a model, edited
// with arbitrary text the way the grid's editors and the command line's
// --param do, then read back into the equipment object. Whatever was typed,
// an object that was accepted must come back unchanged when its own rows are
// shown again and accepted again: otherwise every Next would alter what is
// sent to the device.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/equipamento.h"
#include "fuzz/falha_alvo.h"
#include "fuzz/sem_rede.h"
#include "paginas/avisos.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"

namespace {

using tvx::fuzz::Exigir;

using tvx::cEquipamento;
using tvx::cPropertyRows;

class AvisosGuardados : public tvx::cAvisos {
  public:
    // Some refusals come with the information icon; any box counts.
    void Mostrar(tvx::TipoAviso, const std::string& texto) override { caixas.push_back(texto); }
    bool Perguntar(const std::string&) override { return false; }
    std::vector<std::string> caixas;
};

// Everything the page writes into the object.
struct Estado {
    std::string ip, mascara, gateway;
    std::array<uint8_t, tvx::kTamanhoRegistroGateway> gatewayUniversal, gatewayModbus, gatewayTx;
    std::array<uint8_t, tvx::kTamanhoRegistroTelemetria> telemetria;
    std::array<uint8_t, tvx::kTamanhoRegistroUrl> url;
    std::array<uint8_t, tvx::kTamanhoRegistroRtuVelocidade> rtuVelocidade;
    std::array<uint8_t, tvx::kTamanhoRegistroReconexao> reconexao;
    uint16_t entradas, saidas;
    uint8_t medidorIon, rtuMedidorIon, alterarIp;
    std::vector<std::string> opcoes;
    std::vector<int> marcas;

    explicit Estado(const cEquipamento& e)
        : ip(e.GetIpNovo()),
          mascara(e.GetMascaraNova()),
          gateway(e.GetGatewayNovo()),
          gatewayUniversal(e.registroGatewayUniversal),
          gatewayModbus(e.registroGatewayModbus),
          gatewayTx(e.registroGatewayTx),
          telemetria(e.registroTelemetria),
          url(e.registroUrl),
          rtuVelocidade(e.registroRtuVelocidade),
          reconexao(e.registroReconexao),
          entradas(e.entradasDigitais),
          saidas(e.saidasDigitais),
          medidorIon(e.medidorIon),
          rtuMedidorIon(e.rtuMedidorIon),
          alterarIp(e.infoModelo.alterarIp) {
        for (const auto& o : e.infoModelo.opcoes) {
            opcoes.push_back(o.valor);
            marcas.push_back(o.marcada);
        }
        for (const auto& p : e.infoModelo.passos) {
            marcas.push_back(p.id * 2 + p.marcado);
        }
    }
};

// The first field in which two states differ, or nullptr.
const char* Diferenca(const Estado& a, const Estado& b) {
    if (a.ip != b.ip || a.mascara != b.mascara || a.gateway != b.gateway) {
        return "new address, mask or gateway";
    }
    if (a.gatewayUniversal != b.gatewayUniversal) {
        return "universal gateway record";
    }
    if (a.gatewayModbus != b.gatewayModbus) {
        return "Modbus gateway record";
    }
    if (a.gatewayTx != b.gatewayTx) {
        return "TX gateway record";
    }
    if (a.telemetria != b.telemetria) {
        return "telemetry record";
    }
    if (a.url != b.url) {
        return "URL record";
    }
    if (a.rtuVelocidade != b.rtuVelocidade) {
        return "RTU and rate record";
    }
    if (a.reconexao != b.reconexao) {
        return "reconnection record";
    }
    if (a.entradas != b.entradas || a.saidas != b.saidas) {
        return "digital inputs or outputs";
    }
    if (a.medidorIon != b.medidorIon || a.rtuMedidorIon != b.rtuMedidorIon) {
        return "meter type or ION RTU";
    }
    if (a.alterarIp != b.alterarIp) {
        return "\"Alterar IP?\" tick";
    }
    if (a.opcoes != b.opcoes) {
        return "option texts (MAC, SMS phone, telemetry ID)";
    }
    if (a.marcas != b.marcas) {
        return "option or step ticks";
    }
    return nullptr;
}

// What a line edit or a command-line argument can carry: any bytes, broken
// UTF-8 included, but never a zero byte.
std::string Texto(FuzzedDataProvider& f, size_t maximo) {
    std::string t = f.ConsumeRandomLengthString(maximo);
    std::erase(t, '\0');
    return t;
}

void Ligar(cEquipamento& e, cPropertyRows& linhas) {
    linhas.aoEscolher = [&e, &linhas](const tvx::cPropertyItem& l) {
        tvx::EscolhaParametro(e, linhas, l);
    };
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tvx::fuzz::ProibirRede();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    FuzzedDataProvider f(dados, tamanho);
    cEquipamento e;
    e.SetModelo(f.ConsumeIntegralInRange<uint32_t>(0, 35));
    e.CarregaInfoModelo();
    cPropertyRows linhas;
    Ligar(e, linhas);
    tvx::ConstruirParametros(e, linhas);

    for (int passo = 0; passo < 24 && f.remaining_bytes() > 0 && linhas.Quantidade() > 0; ++passo) {
        const size_t indice = f.ConsumeIntegralInRange<size_t>(0, linhas.Quantidade() - 1);
        const std::string rotulo = linhas.Linha(indice)->name;
        switch (f.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {
                std::string erro;
                const std::string valor = Texto(f, 48);
                if (!tvx::AplicarParametro(linhas, rotulo, valor, erro)) {
                    Exigir(!erro.empty(), "a refused parameter gives no reason");
                }
                break;
            }
            case 1:
                linhas.EditarTexto(indice, Texto(f, 48));
                break;
            case 2:
                linhas.Escolher(indice, f.ConsumeIntegralInRange<size_t>(0, 16));
                break;
            case 3:
                linhas.AlternarCheck(indice);
                break;
            default:
                if (const auto texto = tvx::TextoDoCampoIp(Texto(f, 20))) {
                    linhas.EditarEndereco(indice, *texto);
                }
                break;
        }
    }

    AvisosGuardados avisos;
    if (!tvx::ConfirmarParametros(e, linhas, avisos)) {
        Exigir(!avisos.caixas.empty(), "a refused page shows no reason");
        return 0;
    }
    const Estado confirmado(e);
    cPropertyRows denovo;
    Ligar(e, denovo);
    tvx::ConstruirParametros(e, denovo);
    AvisosGuardados outrosAvisos;
    Exigir(tvx::ConfirmarParametros(e, denovo, outrosAvisos),
           "the rows of an accepted object are refused");
    if (const char* campo = Diferenca(confirmado, Estado(e))) {
        std::fprintf(stderr, "fuzz_parametros: %s changed when the rows were accepted again\n",
                     campo);
        std::abort();
    }
    return 0;
}
