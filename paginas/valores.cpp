#include "paginas/valores.h"

#include <tuple>
#include <utility>

#include "core/catalogo.h"
#include "paginas/pagina_meio.h"
#include "paginas/pagina_modelo.h"
#include "paginas/parametros.h"
#include "paginas/propriedades.h"

namespace tvx {

namespace {

constexpr uint32_t kPrimeiroModelo = 1;
constexpr uint32_t kUltimoModelo = 34;

bool Recusar(cRecusasValores& recusas, TipoRecusa tipo, CampoValor campo, std::string texto,
             size_t parametro = 0) {
    recusas.Recusar(Recusa{tipo, campo, parametro, std::move(texto)});
    return false;
}

// Page 1, as Next would leave the object.
bool AplicarModelo(const ValoresEquipamento& v, cEquipamento& eq, cRecusasValores& recusas) {
    if (v.modelo) {
        eq.SetModelo(*v.modelo);
    }
    if (eq.GetModelo() < kPrimeiroModelo || eq.GetModelo() > kUltimoModelo) {
        return Recusar(recusas, TipoRecusa::ModeloInvalido, CampoValor::Modelo,
                       kAvisoSelecioneEquipamento);
    }
    eq.CarregaInfoModelo();
    return true;
}

// Page 2, as its refresh and Next would leave the object.
bool AplicarMeio(const ValoresEquipamento& v, cEquipamento& eq, cRecusasValores& recusas) {
    uint32_t meio = v.meio.value_or(eq.GetMeio());
    if (v.meio) {
        const bool oferecido = meio == kMeioIpPadrao ? eq.PermiteIpDefault()
                               : meio == kMeioEsteIp ? eq.PermiteEsteIp()
                                                     : eq.PermiteSerial();
        if (!oferecido) {
            return Recusar(recusas, TipoRecusa::MeioNaoOferecido, CampoValor::Meio,
                           "o modelo " + NomeDoModelo(eq.GetModelo()) + " não oferece o meio " +
                               std::to_string(meio));
        }
    } else if (meio > kMeioSerial) {
        return Recusar(recusas, TipoRecusa::MeioInvalido, CampoValor::Meio, kAvisoSelecioneMeio);
    } else if (meio == kMeioSerial && !eq.PermiteSerial()) {
        // What the page does when it is shown; said aloud here, because it
        // turns the run towards the factory address.
        meio = kMeioIpPadrao;
        recusas.Avisar("o modelo " + NomeDoModelo(eq.GetModelo()) +
                       " não tem porta serial: meio 0, IP Default (" + kIpFabrica + ")");
    }
    eq.SetMeio(meio);

    if (v.endereco && meio != kMeioEsteIp) {
        return Recusar(recusas, TipoRecusa::EnderecoForaDoMeio, CampoValor::Endereco,
                       "vale só para o meio 1 (Este IP); o meio é " + std::to_string(meio));
    }
    const std::string endereco = v.endereco.value_or(eq.GetIpProgramacao());
    if (meio == kMeioEsteIp) {
        const std::optional<std::string> valido = TextoDoCampoIp(endereco);
        if (!valido || valido->empty()) {
            return Recusar(recusas, TipoRecusa::FaltaEndereco, CampoValor::Endereco,
                           "o meio 1 (Este IP) precisa de um endereço");
        }
        eq.SetIpProgramacao(*valido);
    } else {
        eq.SetIpProgramacao(meio == kMeioIpPadrao ? std::string(kIpFabrica) : endereco);
    }

    // The serial settings are committed whatever the medium, over the defaults.
    const std::string porta = v.porta.value_or(eq.GetPorta());
    const uint8_t velocidade = v.velocidade.value_or(eq.GetVelocidade());
    const uint8_t rtu = v.rtu.value_or(eq.GetRtu());
    eq.PadraoSerial();
    eq.SetPorta(porta);
    eq.SetVelocidade(velocidade);
    eq.SetRtu(rtu);
    return true;
}

// One row set from a value, as its editor would take it.
bool AplicarLinha(cPropertyRows& linhas, const std::string& rotulo, const std::string& valor,
                  CampoValor campo, size_t parametro, cRecusasValores& recusas) {
    std::string erro;
    if (AplicarParametro(linhas, rotulo, valor, erro)) {
        return true;
    }
    Recusa recusa{TipoRecusa::Valor, campo, parametro, erro};
    if (!linhas.Procurar(rotulo)) {
        recusa.rotuloDesconhecido = true;
        for (const cPropertyItem& l : linhas.Linhas()) {
            if (l.editor != kEditorGrupo) {
                recusa.rotulosDoModelo.push_back(l.name);
            }
        }
    }
    recusas.Recusar(recusa);
    return false;
}

// The values of parametros, either the gateway function's or all the others.
bool AplicarParametrosDoTipo(const ValoresEquipamento& v, cPropertyRows& linhas,
                             cRecusasValores& recusas, bool funcaoGateway) {
    for (size_t i = 0; i < v.parametros.size(); ++i) {
        const ValorLinha& p = v.parametros[i];
        if (MesmoRotulo(p.rotulo, kRotuloFuncaoGateway) == funcaoGateway &&
            !AplicarLinha(linhas, p.rotulo, p.valor, CampoValor::Parametro, i, recusas)) {
            return false;
        }
    }
    return true;
}

// Page 3's rows from the object. A new gateway function rebuilds the rows
// from the object, which would throw away whatever had been set before it:
// it goes first.
bool ConstruirLinhas(const ValoresEquipamento& v, cEquipamento& eq, cPropertyRows& linhas,
                     cRecusasValores& recusas) {
    linhas.aoEscolher = [&eq, &linhas](const cPropertyItem& l) { EscolhaParametro(eq, linhas, l); };
    ConstruirParametros(eq, linhas);
    return AplicarParametrosDoTipo(v, linhas, recusas, true);
}

// Page 3: the rows, the values, the checks of Next.
bool AplicarParametros(const ValoresEquipamento& v, cEquipamento& eq, cRecusasValores& recusas) {
    cPropertyRows linhas;
    if (!ConstruirLinhas(v, eq, linhas, recusas)) {
        return false;
    }
    const std::tuple<const std::optional<std::string>*, const char*, CampoValor> enderecos[] = {
        {&v.ip, kRotuloIp, CampoValor::Ip},
        {&v.mascara, kRotuloMascara, CampoValor::Mascara},
        {&v.gateway, kRotuloGateway, CampoValor::Gateway}};
    for (const auto& [valor, rotulo, campo] : enderecos) {
        if (*valor && !AplicarLinha(linhas, rotulo, **valor, campo, 0, recusas)) {
            return false;
        }
    }
    if (!AplicarParametrosDoTipo(v, linhas, recusas, false)) {
        return false;
    }
    return ConfirmarParametros(eq, linhas, recusas, v.enderecoNovoUsado);
}

}  // namespace

std::string NomeDoModelo(uint32_t modelo) {
    std::string nome;
    ObtemNomeModelo(modelo, nome);
    return std::to_string(modelo) + " (" + nome + ")";
}

bool AplicarValores(const ValoresEquipamento& valores, cEquipamento& equipamento,
                    cRecusasValores& recusas) {
    return AplicarModelo(valores, equipamento, recusas) &&
           AplicarMeio(valores, equipamento, recusas) &&
           AplicarParametros(valores, equipamento, recusas);
}

bool ConstruirLinhasDoModelo(const ValoresEquipamento& valores, cEquipamento& equipamento,
                             cPropertyRows& linhas, cRecusasValores& recusas) {
    return AplicarModelo(valores, equipamento, recusas) &&
           ConstruirLinhas(valores, equipamento, linhas, recusas);
}

}  // namespace tvx
