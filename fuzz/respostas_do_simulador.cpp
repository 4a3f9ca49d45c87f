// Prints the replies the simulated equipment gives to the requests whose
// replies the decoders' fuzz targets take, as the equipment gives them and as
// each fault of the simulator leaves them: one line per reply with the
// decoder, a name, then the decoder's context and the reply in hex.
// gerar_sementes.py lays them out as the targets' starting inputs. The
// equipment is asked directly, without a link: nothing is sent anywhere.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/catalogo.h"
#include "core/equipamento.h"
#include "core/registros.h"
#include "sim/dispositivo.h"
#include "sim/falhas.h"
#include "sim/pedido.h"

namespace {

using namespace tvx;
using sim::Falha;
using sim::Meio;
using Bytes = std::vector<uint8_t>;

const uint32_t kIp = TextoParaIp("10.1.2.3");

struct Falhas {
    Falha falha;
    const char* nome;
};
constexpr Falhas kTodas[] = {
    {Falha::Nenhuma, "ok"}, {Falha::Recusar, "recusa"},          {Falha::RespostaCurta, "curta"},
    {Falha::Lixo, "lixo"},  {Falha::RespostaGigante, "gigante"}, {Falha::IpDiferente, "outro_ip"}};

void Texto(Bytes& b, size_t pos, const char* texto) {
    std::memcpy(b.data() + pos, texto, std::strlen(texto));
}

Bytes Enderecos(size_t tamanho) {
    Bytes b(tamanho, 0);
    EscreverIpRegistro(b.data(), kOffsetIp, kIp);
    EscreverIpRegistro(b.data(), kOffsetMascara, TextoParaIp("255.255.255.0"));
    EscreverIpRegistro(b.data(), kOffsetGateway, TextoParaIp("10.1.2.254"));
    return b;
}

// Asks the equipment of the model in estado, and prints each reply the
// faults make of its answer. Replies the equipment does not give are left out.
void Perguntar(const char* decodificador, const std::string& nome, uint32_t modelo, Meio meio,
               const Bytes& pedido, const Bytes& contexto,
               const sim::EstadoEquipamento& estado = {}, bool estadoDado = false) {
    sim::Extrator extrator(modelo, meio);
    extrator.Alimentar(pedido.data(), pedido.size());
    const auto p = extrator.Proximo(true);
    const sim::Dispositivo dispositivo(modelo);
    for (const Falhas& f : kTodas) {
        const sim::Resposta r =
            dispositivo.Atender(*p, meio, estadoDado ? estado : sim::EstadoInicial(modelo),
                                sim::FalhaDoEquipamento(f.falha) ? f.falha : Falha::Nenhuma);
        const Bytes bytes = sim::AplicarFalhaTransporte(f.falha, r, meio).bytes;
        if (r.bytes.empty() ||
            (f.falha == Falha::IpDiferente && !sim::Dispositivo::BlocoDeEnderecos(*p))) {
            continue;
        }
        std::printf("%s %s_%s ", decodificador, nome.c_str(), f.nome);
        for (const Bytes* parte : {&contexto, &bytes}) {
            for (uint8_t b : *parte) {
                std::printf("%02X", b);
            }
        }
        std::printf("\n");
    }
}

// The read command 'L' 31 as the equipment object frames it for the model.
Bytes LerTexto(uint32_t modelo, Meio meio) {
    cEquipamento e;
    e.SetModelo(modelo);
    e.CarregaInfoModelo();
    e.SetMeio(meio == Meio::Tcp ? kMeioEsteIp : kMeioSerial);
    e.SetRtu(1);
    const int n = e.MontaComando('L', 31, 0, nullptr);
    return Bytes(e.canal.BufferTx(), e.canal.BufferTx() + n);
}

}  // namespace

int main() {
    Bytes textos(60, 0);
    Texto(textos, 0, "10.1.2.3");
    Texto(textos, 20, "255.255.255.0");
    Texto(textos, 40, "10.1.2.254");
    Perguntar("eco_texto", "familia1", 8, Meio::Tcp, textos, {});
    Bytes ilegiveis(60, 0);
    Texto(ilegiveis, 0, "10.1.2");
    Perguntar("eco_texto", "familia1_ilegivel", 8, Meio::Tcp, ilegiveis, {});

    for (const auto& [modelo, familia, tamanho] :
         {std::tuple{21u, kFamiliaGatewayTx, 70}, std::tuple{27u, kFamiliaGatewayUniversal, 64},
          std::tuple{19u, kFamiliaGatewayModbus, 70}}) {
        // The family, then the address sent in numeric form.
        const Bytes contexto{familia, static_cast<uint8_t>(kIp), static_cast<uint8_t>(kIp >> 8),
                             static_cast<uint8_t>(kIp >> 16), static_cast<uint8_t>(kIp >> 24)};
        Perguntar("eco_registro", "familia" + std::to_string(familia), modelo, Meio::Tcp,
                  Enderecos(static_cast<size_t>(tamanho)), contexto);
    }

    Bytes ler(60, 0);
    Texto(ler, 0, "LER=");
    for (const uint8_t funcao : {0x21, 0x55, 0x33, 0xAA, 0xFF, 0x00}) {
        sim::EstadoEquipamento estado = sim::EstadoInicial(1);
        const Bytes registro = Enderecos(70);
        std::copy(registro.begin(), registro.end(), estado.registroGateway.begin());
        EscreverIpRegistro(estado.registroGateway.data(), kGuIpGatewayRx,
                           TextoParaIp("10.0.0.200"));
        estado.registroGateway[kGuRtu1] = 3;
        estado.registroGateway[kGuRtu2] = 4;
        estado.registroGateway[kGuVelocidade] = funcao == 0xAA ? 6 : 3;
        estado.registroGateway[kGuFuncao] = funcao;
        char nome[32];
        std::snprintf(nome, sizeof nome, "funcao%02X", funcao);
        Perguntar("registro_gateway", nome, 1, Meio::Tcp, ler, {}, estado, true);
    }

    for (const auto& [modelo, meio] : {std::pair{3u, Meio::Tcp}, std::pair{3u, Meio::Serial},
                                       std::pair{6u, Meio::Tcp}, std::pair{25u, Meio::Serial}}) {
        const bool simples = modelo == 6;
        const uint8_t inicio = simples ? 0 : meio == Meio::Tcp ? 5 : 3;
        Perguntar("texto_etiquetado",
                  "modelo" + std::to_string(modelo) + (meio == Meio::Tcp ? "_tcp" : "_serial"),
                  modelo, meio, LerTexto(modelo, meio), {inicio});
    }

    Bytes macIdSms(60, 0);
    Texto(macIdSms, 0, "MAC=");
    const uint8_t mac[6] = {0x02, 0xB4, 0x6D, 0xAA, 0xBB, 0xCC};
    std::memcpy(macIdSms.data() + 4, mac, 6);
    Texto(macIdSms, 20, "ID=POSTO7");
    Texto(macIdSms, 40, "S=11987654321");
    Perguntar("eco_mac_id_sms", "passo2", 16, Meio::Tcp, macIdSms, {});
    // A full-length ID, followed by no zero.
    Texto(macIdSms, 23, "ID-DE-17-LETRAS-X");
    Perguntar("eco_mac_id_sms", "passo2_id_cheio", 16, Meio::Tcp, macIdSms, {});

    Bytes macBloco(60, 0);
    Texto(macBloco, 0, "MAC=");
    std::memcpy(macBloco.data() + 4, mac, 6);
    Perguntar("eco_mac", "passo16", 26, Meio::Tcp, macBloco, {});
    return 0;
}
