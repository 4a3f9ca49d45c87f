// The profile and the log against names that are not plain files of ours:
// links planted by another user, pipes, folders and device nodes are refused
// at once (never followed, never waited on, never opened), and a profile that
// cannot be read or a folder that takes no new file is said, never silenced.
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <thread>

#include "core/equipamento.h"
#include "pasta_temporaria.h"
#include "persistence/log.h"
#include "persistence/perfil_ini.h"

namespace tvx {
namespace {

constexpr uid_t kOutro = 65534;  // nobody

class ArquivosRecusados : public teste::PastaTemporaria {};

// A load ('c'), a save ('s') or a log line ('l'): "" when it went through,
// else the technician's text.
std::string Operar(char qual, const std::string& caminho) {
    if (qual == 'l') {
        cLog log;
        log.DefinirArquivo(caminho);
        const os::ResultadoArquivo r = log.Escrever("linha");
        return r.Ok() ? "" : TextoFalhaLog(caminho, r);
    }
    cEquipamento e;
    e.caminhoConfiguracao = caminho;
    e.SetIpNovo("10.0.0.9");
    std::string falha;
    return e.Configuracao(qual == 's', &falha) ? "" : falha;
}

TEST_F(ArquivosRecusados, NomesQueNaoSaoArquivosComunsSemEsperar) {
    const std::string alvo = Caminho("alvo");
    const std::string cheio(kLimiteLog, 'x');  // a full log would be rotated
    Escrever(alvo, cheio);
    // A link of another user to alvo, a dangling link, a pipe, a folder and a
    // device node, each tried by a load, a save and a log line.
    for (int tipo = 0; tipo < 5; ++tipo) {
        for (char qual : {'c', 's', 'l'}) {
            const std::string nome = Caminho(std::to_string(tipo) + qual);
            const char* c = nome.c_str();
            ASSERT_EQ(tipo == 0   ? ::symlink(alvo.c_str(), c) | ::lchown(c, kOutro, kOutro)
                      : tipo == 1 ? ::symlink(Caminho("novo").c_str(), c)
                      : tipo == 2 ? ::mkfifo(c, 0666)
                      : tipo == 3 ? ::mkdir(c, 0777)
                                  : ::mknod(c, S_IFCHR | 0666, makedev(1, 3)),
                      0);
            // A call that waits on a pipe never returns: it is left behind.
            auto resultado = std::make_shared<std::promise<std::string>>();
            std::thread([=] { resultado->set_value(Operar(qual, nome)); }).detach();
            std::future<std::string> fim = resultado->get_future();
            ASSERT_EQ(fim.wait_for(std::chrono::seconds(5)), std::future_status::ready) << nome;
            EXPECT_TRUE(fim.get().ends_with(
                nome + "\": " + (tipo < 2 ? "é um link simbólico" : "não é um arquivo comum")))
                << nome;
        }
    }
    EXPECT_EQ(Ler(alvo), cheio);
    EXPECT_FALSE(std::filesystem::exists(Caminho("novo")));
    EXPECT_EQ(Nomes(pasta_).size(), 16u);  // no backup, no temporary file
}

TEST_F(ArquivosRecusados, PerfilIlegivelGrandeOuEmPastaSemEscrita) {
    const std::string grande = std::string(kTamanhoMaximoPerfil + 1, ';');
    const struct {
        std::string conteudo;
        mode_t modoArquivo, modoPasta;
        char qual;
        const char* falha;  // the end of the text; "" when it went through
    } casos[] = {
        {"[X]\r\n", 0, 0755, 'c', ": permissão negada"},
        {grande, 0644, 0755, 'c', ": passa do limite de 1 MiB de um arquivo de configuração"},
        // The folder takes no new file: the file is rewritten in place.
        {"[X]\r\n", 0666, 0555, 's', ""},
        {"[X]\r\n", 0644, 0555, 's', ": permissão negada"},
    };
    const std::string ini = Caminho("tvxnetcfg.ini");
    for (const auto& c : casos) {
        SCOPED_TRACE(&c - casos);
        Escrever(ini, c.conteudo);
        ASSERT_EQ(::chmod(ini.c_str(), c.modoArquivo) | ::chmod(pasta_.c_str(), c.modoPasta), 0);
        // The file system sees another user on this thread: root reads and
        // writes anything.
        ::setfsgid(kOutro);
        ::setfsuid(kOutro);
        const std::string falha = Operar(c.qual, ini);
        ::setfsuid(0);
        ::setfsgid(0);
        ::chmod(pasta_.c_str(), 0700);
        EXPECT_TRUE(falha.ends_with(c.falha) && falha.empty() == (*c.falha == '\0')) << falha;
        const bool gravado = c.qual == 's' && falha.empty();
        EXPECT_TRUE(gravado ? Ler(ini).starts_with(c.conteudo + "[CONFIG]\r\nip=10.0.0.9\r\n")
                            : Ler(ini) == c.conteudo);
        EXPECT_EQ(Nomes(pasta_), std::set<std::string>{"tvxnetcfg.ini"});
    }
}

}  // namespace
}  // namespace tvx
