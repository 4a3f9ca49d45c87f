#include "cli/opcoes.h"

#include <string_view>

#include "core/catalogo.h"
#include "core/utilitarios.h"
#include "paginas/parametros.h"
#include "transport/serial.h"

namespace tvx::cli {

namespace {

constexpr uint32_t kUltimoModelo = kQuantidadeModelos - 1;

bool Endereco(const std::string& opcao, const std::string& texto,
              std::optional<std::string>& destino, std::string& erro) {
    const std::optional<std::string> normalizado = TextoDoCampoIp(texto);
    if (!normalizado || normalizado->empty()) {
        erro = opcao + " precisa de um endereço a.b.c.d com números de 0 a 255: \"" + texto + "\"";
        return false;
    }
    destino = *normalizado;
    return true;
}

}  // namespace

bool LerOpcoes(int argc, const char* const* argv, Opcoes& o, std::string& erro) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.ajuda = true;
            continue;
        }
        if (arg == "--save") {
            o.gravar = true;
            continue;
        }
        if (arg == "--preparar-rede") {
            o.prepararRede = true;
            continue;
        }
        bool* consulta = arg == "--version"       ? &o.versao
                         : arg == "--list-models" ? &o.listarModelos
                         : arg == "--list-params" ? &o.listarParametros
                         : arg == "--list-ports"  ? &o.listarPortas
                                                  : nullptr;
        if (consulta != nullptr) {
            *consulta = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            Acao acao;
            if (arg == "program") {
                acao = Acao::Programar;
            } else if (arg == "test") {
                acao = Acao::Testar;
            } else if (arg == "read") {
                acao = Acao::Ler;
            } else {
                erro = "ação desconhecida: \"" + arg + "\" (use program, test ou read)";
                return false;
            }
            if (o.acao) {
                erro = "só uma ação por vez: \"" + arg + "\"";
                return false;
            }
            o.acao = acao;
            continue;
        }

        // "--option value" or "--option=value".
        std::string valor;
        const size_t igual = arg.find('=');
        if (igual != std::string::npos) {
            valor = arg.substr(igual + 1);
            arg.resize(igual);
        }
        const bool conhecida = arg == "--config" || arg == "--model" || arg == "--medium" ||
                               arg == "--address" || arg == "--port" || arg == "--rate" ||
                               arg == "--rtu" || arg == "--ip" || arg == "--mask" ||
                               arg == "--gateway" || arg == "--param" || arg == "--log" ||
                               arg == "--trace";
        if (!conhecida) {
            erro = "opção desconhecida: " + arg;
            return false;
        }
        if (igual == std::string::npos) {
            if (i + 1 >= argc) {
                erro = arg + " precisa de um valor";
                return false;
            }
            valor = argv[++i];
        }

        uint32_t n = 0;
        if (arg == "--config") {
            if (valor.empty()) {
                erro = "--config precisa do caminho de um arquivo";
                return false;
            }
            o.configuracao = valor;
        } else if (arg == "--model") {
            if (!NumeroEstrito(valor, kUltimoModelo, n)) {
                erro = "--model precisa de um número de 1 a 34: \"" + valor + "\"";
                return false;
            }
            o.modelo = n;
        } else if (arg == "--medium") {
            if (!NumeroEstrito(valor, 2, n)) {
                erro = "--medium precisa de 0 (IP Default), 1 (Este IP) ou 2 (Serial): \"" + valor +
                       "\"";
                return false;
            }
            o.meio = n;
        } else if (arg == "--address") {
            if (!Endereco(arg, valor, o.endereco, erro)) {
                return false;
            }
        } else if (arg == "--port") {
            if (valor.empty()) {
                erro = "--port precisa do nome de uma porta serial";
                return false;
            }
            o.porta = valor;
        } else if (arg == "--rate") {
            const uint8_t codigo = IndiceDaVelocidade(valor);
            if (codigo == 255) {
                erro =
                    "--rate precisa de uma velocidade da tabela (110, 300, 600, 1200, 2400, "
                    "4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000): \"" +
                    valor + "\"";
                return false;
            }
            o.velocidade = codigo;
        } else if (arg == "--rtu") {
            if (!NumeroEstrito(valor, 255, n)) {
                erro = "--rtu precisa de um número de 0 a 255: \"" + valor + "\"";
                return false;
            }
            o.rtu = static_cast<uint8_t>(n);
        } else if (arg == "--ip") {
            if (!Endereco(arg, valor, o.ip, erro)) {
                return false;
            }
        } else if (arg == "--mask") {
            if (!Endereco(arg, valor, o.mascara, erro)) {
                return false;
            }
        } else if (arg == "--gateway") {
            if (!Endereco(arg, valor, o.gateway, erro)) {
                return false;
            }
        } else if (arg == "--param") {
            const size_t sep = valor.find('=');
            if (sep == std::string::npos || sep == 0) {
                erro = "--param precisa de 'RÓTULO=VALOR': \"" + valor + "\"";
                return false;
            }
            o.parametros.emplace_back(valor.substr(0, sep), valor.substr(sep + 1));
        } else if (arg == "--log") {
            if (valor.empty()) {
                erro = "--log precisa do caminho de um arquivo";
                return false;
            }
            o.log = valor;
        } else if (arg == "--trace") {
            if (valor.empty()) {
                erro = "--trace precisa do caminho de um arquivo";
                return false;
            }
            o.rastro = valor;
        }
    }
    if (o.acao && SoConsulta(o)) {
        erro = "--version e --list-* não se juntam a uma ação";
        return false;
    }
    if (!o.ajuda && !o.acao && !SoConsulta(o)) {
        erro = "falta a ação: program, test ou read";
        return false;
    }
    return true;
}

std::string TextoAjuda() {
    return R"(Uso: tvxnetcfg-cli [OPÇÕES] AÇÃO
     tvxnetcfg-cli --list-models | --list-ports | --version
     tvxnetcfg-cli [--config ARQUIVO] [--model N] [--param ...] --list-params

Programa, testa ou lê o IP, a máscara, o gateway e os parâmetros de um
equipamento TVX sem a janela do assistente, com as mesmas regras e as mesmas
mensagens das páginas do TVXNetCfg.

AÇÃO
  program   programa o equipamento (como o botão "&Programar")
  test      verifica se o novo IP responde (como "&Testar")
  read      lê a programação do equipamento (como "&Ler")
  plan      tvxnetcfg-cli plan PLANO.csv: os equipamentos de um plano, um
            depois do outro (tvxnetcfg-cli plan --help)

Primeiro a configuração é carregada como o assistente faz ao iniciar
(tvxnetcfg.ini da pasta atual, quando ela tem um; senão o de
$XDG_CONFIG_HOME/tvxnetcfg/, ~/.config/tvxnetcfg/; ou o arquivo de
--config); depois as opções abaixo são aplicadas, cada uma como a página
do assistente que é dona do valor a gravaria; as linhas da página de
parâmetros são montadas, cada --param é aplicado e a página confere tudo,
com as mesmas recusas do botão Avançar. Antes de agir, um resumo vai para a
saída de erros: modelo, meio, endereço ou porta, novo IP, máscara e
gateway, passos extras marcados, de onde veio cada valor (opção, perfil ou
padrão) e a preparação do equipamento que a página 1 mostra. Só então a
ação é executada.

OPÇÕES (sem a opção vale o valor do perfil; sem perfil, o padrão indicado)
  --config ARQUIVO   carrega ARQUIVO em vez de tvxnetcfg.ini da pasta atual,
                     como "Ler Configuração" (e é nele que --save grava)
  --model N          modelo do catálogo, 1 a 34 (página 1); a linha do
                     catálogo é carregada (padrão: 1)
  --medium N         meio de comunicação (página 2): 0 IP Default
                     (192.168.0.101), 1 Este IP (--address), 2 Serial; só os
                     meios que a página oferece ao modelo são aceitos
                     (padrão: 0)
  --address IP       IP do equipamento para o meio 1 (padrão: nenhum)
  --port NOME        porta serial: COMn (COM1 é /dev/ttyS0), um nome de /dev
                     (ttyUSB0) ou um caminho (/dev/serial/by-id/..., o
                     /dev/pts/N do tvxnetcfg-sim --serial) (padrão: nenhuma)
  --rate TEXTO       velocidade serial da tabela: 110 300 600 1200 2400 4800
                     9600 14400 19200 38400 56000 57600 115200 128000 256000
                     (padrão: 38400)
  --rtu N            endereço RTU, 0 a 255 (padrão: 1)
  --ip IP            novo IP          (linha "IP" da página 3)
  --mask M           nova máscara     (linha "Máscara")
  --gateway G        novo gateway     (linha "Gateway"; 0.0.0.0 quando não
                     há gateway). Os três começam vazios; program e test
                     recusam um IP vazio ou 0.0.0.0 ("IP inválido") e uma
                     máscara vazia ("Máscara inválida")
  --param 'RÓTULO=VALOR'
                     pode repetir: preenche a linha da página de parâmetros
                     com esse rótulo exato (maiúsculas e minúsculas tanto
                     faz). Linhas de marcar aceitam 0 ou 1; listas aceitam o
                     texto de uma opção ou o seu código; as demais linhas, o
                     texto. Um rótulo que o modelo não tem é um erro, que
                     lista os rótulos do modelo (--list-params mostra tudo).
                     "Função Gateway Universal" é aplicado antes dos outros,
                     pois remonta as linhas. Exemplos:
                       --param 'Alterar MAC?=1'
                       --param 'MAC (xx:xx:xx:xx:xx:xx)=02:B4:6D:01:02:03'
                       --param 'Faixa de RTU=RTU06 à RTU10'
                       --param 'Função Gateway Universal=85'
  --log ARQUIVO      arquivo de log (padrão: tvxnetcfg.log na pasta atual
                     quando ela tem tvxnetcfg.ini, senão em
                     $XDG_STATE_HOME/tvxnetcfg/, ~/.local/state/tvxnetcfg/);
                     um link simbólico, uma pasta, um pipe ou um dispositivo
                     é recusado
  --trace ARQUIVO    acrescenta a ARQUIVO cada quadro enviado (>>) e recebido
                     (<<), com data e hora, meio, endereço ou porta, em hex e
                     com o texto ao lado; nada mais muda na execução. Recusa
                     links e o que não for arquivo comum. No assistente:
                     TVXNETCFG_TRACE=ARQUIVO tvxnetcfg
  --save             depois de a página de parâmetros aceitar os valores,
                     grava a configuração, como o botão Avançar
  --preparar-rede    antes de program e read pelos meios 0 e 1, quando este
                     computador não tem endereço na rede 192.168.0.0/24 do
                     equipamento: adiciona à interface com fio que está com
                     link o primeiro endereço de 192.168.0.100 em diante que
                     ninguém responde (sonda ARP), e o remove quando a
                     execução termina (também por Ctrl+C, SIGTERM ou SIGHUP;
                     se o programa for morto, a próxima execução o remove).
                     Sem privilégio usa o auxiliar tvxnetcfg-rede; se nem ele
                     pode, mostra o comando sudo a digitar e nada é alterado
  --list-models      lista o catálogo: número, nome, família e meios
  --list-params      lista as linhas da página de parâmetros do modelo
                     (--model ou o do perfil): rótulo, o que aceita, valor
  --list-ports       lista as portas seriais: nome, dispositivo, descrição
  --version          mostra a versão
  --help             mostra este texto

SAÍDA
  Cada linha de progresso aparece na saída padrão assim que chega (UTF-8) e
  vai para o log com data e hora (primeiro no log: se a saída padrão fechar,
  a execução continua e o log recebe todas as linhas). O resumo, as recusas
  e avisos (com o nome do programa e a linha ou opção de que tratam), um log
  que não pôde ser escrito (uma vez; a execução continua) e o motivo de uma
  porta serial que não abriu vão para a saída de erros.
  Ctrl+C (ou SIGTERM, ou o terminal fechado) para a execução em menos de um
  segundo, como o botão "P&arar", e nada mais é enviado ao equipamento; a
  última linha da saída de erros diz em que estado ele ficou. Um segundo
  Ctrl+C sai na hora.
  Antes de program e read pelos meios 0 e 1, o que impediria este computador
  de alcançar o equipamento (sem cabo, fora da rede dele, o endereço é deste
  computador) vai para a saída de erros; a saída padrão e o log trazem só as
  linhas da execução, com ou sem --preparar-rede.

CÓDIGO DE SAÍDA
  0  a ação terminou com sucesso ("Programação finalizada.", "IP programado
     OK." ou "Leitura finalizada."; uma listagem ou --version)
  1  a ação não terminou com sucesso (o equipamento não respondeu, recusou,
     a porta não abriu...)
  2  opções inválidas ou valores recusados (nada foi enviado), um arquivo de
     configuração que existe mas não pôde ser lido (ou, com --save,
     gravado), um log ou --trace recusado
  3  program: o novo IP já responde na rede ("IP a ser programado já existe
     na rede." e "Programação de IP não será feita."): o IP não foi
     programado, mesmo com "Programação finalizada."
  4  interrompido; o IP não foi programado (nada que o altere foi enviado,
     ou só passos extras já aceitos)
  5  interrompido; o equipamento foi programado com o novo IP (reiniciando,
     ou a reiniciar desligando e ligando)
  6  interrompido durante um envio; o estado do equipamento é desconhecido

EXEMPLOS
  tvxnetcfg-cli --list-models
  tvxnetcfg-cli --model 3 --list-params
  tvxnetcfg-cli --model 3 --medium 1 --address 192.168.0.50 read
  tvxnetcfg-cli --model 3 --medium 0 --ip 10.0.0.5 --mask 255.255.255.0 \
                --gateway 10.0.0.1 --save program
  tvxnetcfg-cli --model 3 --medium 2 --port ttyUSB0 --rate 38400 --rtu 1 \
                --trace quadros.txt read

ATENÇÃO
  O meio 0 (IP Default) fala com o endereço de fábrica 192.168.0.101 na rede
  em que este computador estiver ligado: qualquer equipamento nesse endereço
  será pingado e programado. É o meio padrão quando a configuração não diz
  outro. Confira o meio e o endereço antes de usar program.

Guia do técnico: /usr/share/doc/tvxnetcfg/guia-do-tecnico.md; man tvxnetcfg-cli
)";
}

}  // namespace tvx::cli
