#include "plano/relatorio.h"

#include <vector>

#include "core/texto.h"
#include "core/thread_programar.h"
#include "plano/csv.h"

namespace tvx::plano {

namespace {

constexpr const char* kColunas[] = {"Equipamento",
                                    "Linha do plano",
                                    "Modelo",
                                    "Conexão",
                                    "IP do plano",
                                    "Máscara do plano",
                                    "Gateway do plano",
                                    "IP lido",
                                    "Máscara lida",
                                    "Gateway lido",
                                    "Leitura",
                                    "Resultado",
                                    "Última linha",
                                    "Data",
                                    "Hora",
                                    "Duração (s)",
                                    "Log"};

std::string Html(std::string_view texto) {
    std::string saida;
    saida.reserve(texto.size());
    for (char c : texto) {
        switch (c) {
            case '&':
                saida += "&amp;";
                break;
            case '<':
                saida += "&lt;";
                break;
            case '>':
                saida += "&gt;";
                break;
            case '"':
                saida += "&quot;";
                break;
            case '\'':
                saida += "&#39;";
                break;
            default:
                saida += c;
        }
    }
    return saida;
}

// The device's lines on one line of the table; blank ones left out.
std::string LinhasDaLeitura(const std::string& leitura, const char* juntar) {
    std::string saida;
    size_t i = 0;
    while (i <= leitura.size()) {
        size_t fim = leitura.find('\n', i);
        if (fim == std::string::npos) {
            fim = leitura.size();
        }
        std::string linha = leitura.substr(i, fim - i);
        if (!linha.empty() && linha.back() == '\r') {
            linha.pop_back();
        }
        if (!linha.empty()) {
            saida += (saida.empty() ? "" : juntar) + linha;
        }
        i = fim + 1;
    }
    return saida;
}

// A spreadsheet takes a cell that begins with one of these for a formula: a
// device's text must stay text.
std::string SemFormula(const std::string& texto) {
    if (!texto.empty() && std::string_view("=+-@\t\r").find(texto.front()) != std::string::npos) {
        return "'" + texto;
    }
    return texto;
}

bool Executado(const ResultadoDispositivo& r) {
    return r.estado != EstadoLinha::Pendente && !r.data.empty();
}

std::vector<std::string> Campos(const Plano& plano, const EstadoPlano& estado, size_t i,
                                const char* juntarLeitura) {
    const Dispositivo& d = plano.dispositivos[i];
    const ResultadoDispositivo& r = estado.resultados.at(i);
    const bool executado = Executado(r);
    return {std::to_string(d.numero),
            std::to_string(d.linha),
            d.nomeModelo,
            d.conexao,
            d.programaIp ? d.ipNovo : "",
            d.programaIp ? d.mascaraNova : "",
            d.programaIp ? d.gatewayNova : "",
            r.ipLido,
            r.mascaraLida,
            r.gatewayLido,
            LinhasDaLeitura(r.leitura, juntarLeitura),
            TextoEstado(r.estado),
            r.ultimaLinha,
            r.data,
            r.hora,
            executado ? std::to_string(r.duracao) : "",
            executado ? NomeLogDispositivo(plano, i) : ""};
}

}  // namespace

std::string NomeLogDispositivo(const Plano& plano, size_t indice) {
    const std::string total = std::to_string(plano.dispositivos.size());
    std::string numero = std::to_string(plano.dispositivos.at(indice).numero);
    const size_t largura = std::max<size_t>(2, total.size());
    numero.insert(0, largura - std::min(largura, numero.size()), '0');
    return "equipamento-" + numero + ".log";
}

std::string TextoResumo(const EstadoPlano& estado) {
    size_t n[6] = {};
    for (const ResultadoDispositivo& r : estado.resultados) {
        ++n[static_cast<size_t>(r.estado)];
    }
    const auto conta = [&n](EstadoLinha e) { return std::to_string(n[static_cast<size_t>(e)]); };
    std::string texto = "Equipamentos: " + std::to_string(estado.resultados.size()) +
                        " — feitos: " + conta(EstadoLinha::Feito) +
                        ", com falha: " + conta(EstadoLinha::Falhou) +
                        ", pulados: " + conta(EstadoLinha::Pulado) +
                        ", interrompidos: " + conta(EstadoLinha::Interrompido) +
                        ", pendentes: " + conta(EstadoLinha::Pendente);
    if (n[static_cast<size_t>(EstadoLinha::EmExecucao)] > 0) {
        texto += ", em execução: " + conta(EstadoLinha::EmExecucao);
    }
    return texto;
}

std::string LinhaRelatorioHtml(const Plano& plano, const EstadoPlano& estado, size_t indice) {
    const std::vector<std::string> campos = Campos(plano, estado, indice, "\n");
    const std::string classe = campos[11] == TextoEstado(EstadoLinha::EmExecucao)
                                   ? "execucao"
                                   : campos[11];  // the state's text is plain ASCII otherwise
    std::string linha = "<tr class=\"" + classe + "\">";
    for (size_t c = 0; c < campos.size(); ++c) {
        std::string celula = Html(campos[c]);
        if (c == 10) {
            std::string comQuebras;
            for (char ch : celula) {
                comQuebras += ch == '\n' ? std::string("<br>") : std::string(1, ch);
            }
            celula = comQuebras;
        } else if (c == campos.size() - 1 && !celula.empty()) {
            celula = "<a href=\"" + celula + "\">" + celula + "</a>";
        }
        // A read-back that is not what the plan asked for stands out.
        const bool difere = c >= 7 && c <= 9 && !campos[c].empty() && !campos[c - 3].empty() &&
                            campos[c] != campos[c - 3];
        linha += (difere ? "<td class=\"difere\">" : "<td>") + celula + "</td>";
    }
    return linha + "</tr>";
}

std::string TextoRelatorioHtml(const Plano& plano, const EstadoPlano& estado,
                               const std::string& geradoEm) {
    const size_t barra = plano.caminho.find_last_of('/');
    const std::string nome =
        Html(barra == std::string::npos ? plano.caminho : plano.caminho.substr(barra + 1));
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Relatório do plano " +
        nome +
        "</title>\n<style>\n"
        "body{font-family:sans-serif;margin:1.5em;color:#111}\n"
        "h1{font-size:1.3em}\n"
        "table{border-collapse:collapse;width:100%;font-size:9pt}\n"
        "th,td{border:1px solid #999;padding:3px 5px;text-align:left;vertical-align:top}\n"
        "th{background:#e8e8e8}\n"
        "tr.feito td{background:#e4f4e4}\n"
        "tr.falhou td{background:#f9e0e0}\n"
        "tr.interrompido td,tr.execucao td{background:#fff0d0}\n"
        "td.difere{font-weight:bold;color:#a33}\n"
        "@media print{body{margin:0}a{color:inherit;text-decoration:none}"
        "tr{page-break-inside:avoid}th,td{-webkit-print-color-adjust:exact;"
        "print-color-adjust:exact}}\n"
        "</style>\n</head>\n<body>\n<h1>Relatório do plano " +
        nome + "</h1>\n<p>Gerado em " + Html(geradoEm) + " por " + kVersaoPrograma + ".</p>\n<p>" +
        Html(TextoResumo(estado)) +
        "</p>\n<p>Em destaque, os valores lidos que não são os do plano (um equipamento que só "
        "troca de IP quando é religado ainda mostra o anterior).</p>\n<table>\n<thead><tr>";
    for (const char* coluna : kColunas) {
        html += "<th>" + Html(coluna) + "</th>";
    }
    html += "</tr></thead>\n<tbody>\n";
    for (size_t i = 0; i < plano.dispositivos.size(); ++i) {
        html += LinhaRelatorioHtml(plano, estado, i) + "\n";
    }
    return html + "</tbody>\n</table>\n</body>\n</html>\n";
}

std::string TextoRelatorioCsv(const Plano& plano, const EstadoPlano& estado) {
    std::string texto;
    for (const char* coluna : kColunas) {
        texto += (texto.empty() ? "" : ";") + CampoCsv(coluna);
    }
    texto += "\r\n";
    for (size_t i = 0; i < plano.dispositivos.size(); ++i) {
        const std::vector<std::string> campos = Campos(plano, estado, i, " | ");
        for (size_t c = 0; c < campos.size(); ++c) {
            texto += (c > 0 ? ";" : "") + CampoCsv(SemFormula(campos[c]));
        }
        texto += "\r\n";
    }
    return Utf8ParaCp1252(texto);
}

}  // namespace tvx::plano
