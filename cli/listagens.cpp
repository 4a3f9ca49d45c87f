#include "cli/listagens.h"

#include <ostream>
#include <vector>

#include "cli/opcoes.h"
#include "core/equipamento.h"
#include "paginas/parametros.h"
#include "transport/descoberta_portas.h"

namespace tvx::cli {

namespace {

constexpr uint32_t kPrimeiroModelo = 1;
constexpr uint32_t kUltimoModelo = 34;

std::string Meios(const cEquipamento& eq) {
    std::string texto;
    const auto juntar = [&](const char* meio) {
        texto += (texto.empty() ? "" : ", ") + std::string(meio);
    };
    if (eq.PermiteIpDefault()) {
        juntar("0 IP Default");
    }
    if (eq.PermiteEsteIp()) {
        juntar("1 Este IP");
    }
    if (eq.PermiteSerial()) {
        juntar("2 Serial");
    }
    return texto;
}

std::string Formato(const cPropertyItem& linha) {
    switch (linha.editor) {
        case kEditorCheck:
            return "marcar: 0 ou 1";
        case kEditorIp:
            return "endereço a.b.c.d";
        case kEditorLista: {
            std::string texto = "uma opção:";
            for (const EntradaEscolha& e : EntradasEscolha(linha)) {
                texto += "\n      " + e.texto;
                if (linha.kind == kTipoComValores) {
                    texto += " (" + std::to_string(e.valor) + ")";
                }
            }
            return texto;
        }
        default:
            if (linha.kind == kTipoIpTexto) {
                return "endereço a.b.c.d";
            }
            if (linha.kind == kTipoMascara) {
                return "texto na máscara " + linha.mask + " (# um dígito, * uma letra ou dígito)";
            }
            return LinhaNumerica(linha.name) ? "número" : "texto";
    }
}

std::string ValorAtual(const cPropertyItem& linha) {
    return linha.editor == kEditorCheck ? std::to_string(linha.data) : "\"" + linha.value + "\"";
}

}  // namespace

void ListarModelos(std::ostream& saida) {
    saida << "MODELO  NOME                                     FAMÍLIA  MEIOS\n";
    cEquipamento eq;
    for (uint32_t modelo = kPrimeiroModelo; modelo <= kUltimoModelo; ++modelo) {
        eq.SetModelo(modelo);
        eq.CarregaInfoModelo();
        std::string numero = std::to_string(modelo);
        std::string nome = eq.infoModelo.nome ? eq.infoModelo.nome : "?";
        std::string familia = std::to_string(eq.Familia());
        numero.insert(0, 6 - numero.size(), ' ');
        nome.resize(std::max<size_t>(nome.size(), 40), ' ');
        familia.insert(0, 7 - familia.size(), ' ');
        saida << numero << "  " << nome << " " << familia << "  " << Meios(eq) << '\n';
    }
}

void ListarParametros(const cPropertyRows& linhas, std::ostream& saida) {
    if (linhas.Quantidade() == 0) {
        saida << "(este modelo não tem parâmetros na página 3)\n";
    }
    for (const cPropertyItem& linha : linhas.Linhas()) {
        if (linha.editor == kEditorGrupo) {
            saida << "[" << linha.name << "]\n";
            continue;
        }
        saida << "  " << linha.name << "\n    " << Formato(linha)
              << "\n    atual: " << ValorAtual(linha) << '\n';
    }
}

bool ListarPortas(std::ostream& saida, std::ostream& erros) {
    std::vector<InfoPortaSerial> portas;
    try {
        EnumerarPortas(portas);
    } catch (const ErroDescobertaPortas& erro) {
        erros << kNomePrograma << ": --list-ports: " << erro.what() << '\n';
        return false;
    }
    if (portas.empty()) {
        erros << kNomePrograma
              << ": --list-ports: nenhuma porta serial encontrada (um adaptador USB-serial "
                 "ligado aparece como ttyUSB0 ou ttyACM0)\n";
    }
    for (const InfoPortaSerial& porta : portas) {
        saida << porta.nomePorta << '\t' << porta.caminhoDispositivo << '\t' << porta.nomeAmigavel
              << '\n';
    }
    return true;
}

std::string RotulosValidos(const std::vector<std::string>& rotulos) {
    std::string texto;
    for (const std::string& rotulo : rotulos) {
        texto += "\n  " + rotulo;
    }
    return texto.empty() ? "\n  (nenhum: este modelo não tem parâmetros)" : texto;
}

}  // namespace tvx::cli
