// The network helper's ARP probe and the program's own address: what it
// refuses, and a user without privilege who gets them through a capable copy
// of it, which never removes an address somebody else added.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/os/auxiliar_rede.h"
#include "core/utilitarios.h"
#include "support/log_lido.h"
#include "support/rede_campo.h"
#include "support/rede_isolada.h"

namespace tvx {
namespace {

using teste::RedeIsolada;
namespace fs = std::filesystem;

TEST(AuxiliarRedeEndereco, Recusas) {
    // Shell words after the helper's path, and the start of its refusal.
    std::vector<std::pair<std::string, std::string>> tabela = {
        {"sondar-arp tvxa", "número errado de argumentos"},
        {"sondar-arp tvxa/x 10.1.0.9", "INTERFACE deve ser o nome de uma interface"},
        {"sondar-arp 'tvx a' 10.1.0.9", "INTERFACE deve ser o nome de uma interface"},
        {"sondar-arp tvxaaaaaaaaaaaaa 10.1.0.9", "INTERFACE deve ser o nome de uma interface"},
        {"sondar-arp tvxz 10.1.0.9", "INTERFACE não existe"},
        {"adicionar-endereco lo 10.1.0.9/24", "INTERFACE não pode ser a de loopback"},
        {"sondar-arp tvxa 10.1.0.09", "ENDEREÇO deve ser um IPv4"},
    };
    for (const char* e : {"10.1.0.9", "8.8.8.8/24", "172.32.0.9/16", "10.1.0.9/15", "10.1.0.9/31",
                          "10.1.0.9/024", "10.1.0.0/24", "10.1.0.255/24"}) {
        tabela.emplace_back(std::string("remover-endereco tvxa ") + e,
                            "ENDEREÇO/PREFIXO deve ser um endereço de host privado");
    }
    TVX_EM_REDE_ISOLADA([&](RedeIsolada& rede) {
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        for (const auto& [argumentos, motivo] : tabela) {
            std::string saida;
            EXPECT_EQ(rede.Executar("'" + os::CaminhoAuxiliarRede() + "' " + argumentos + " 2>&1",
                                    &saida),
                      2);
            EXPECT_TRUE(saida.starts_with("tvxnetcfg-rede: " + motivo)) << argumentos << "\n"
                                                                        << saida;
        }
    });
}

TEST(AuxiliarRedeEndereco, NobodyPeloAuxiliarCapaz) {
    TVX_EM_REDE_ISOLADA([](RedeIsolada& rede) {
        ASSERT_TRUE(rede.CriarParVeth("tvxa", "tvxb"));
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.101/24", "tvxb"));  // answers ARP on tvxa
        ASSERT_TRUE(rede.AdicionarEndereco("192.168.0.50/24", "tvxa"));   // somebody else's
        const fs::path pasta =
            fs::temp_directory_path() / ("tvx-endereco-" + std::to_string(getpid()));
        fs::create_directories(pasta);
        fs::permissions(pasta,
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        const std::string capaz = pasta / "tvxnetcfg-rede";
        fs::copy_file(os::CaminhoAuxiliarRede(), capaz, fs::copy_options::overwrite_existing);
        ASSERT_EQ(rede.Executar("setcap cap_net_raw,cap_net_admin+ep " + capaz), 0)
            << "needs setcap";

        const passwd* nobody = getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            std::ofstream visto(pasta / "visto");  // opened before the privilege is dropped
            if (setgroups(0, nullptr) != 0 ||
                setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0 ||
                setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0) {
                _exit(1);
            }
            os::DefinirAuxiliarRede(capaz);
            int codigo = -1;
            auto anotar = [&](bool respondeu) { visto << (respondeu ? codigo : -1) << ' '; };
            anotar(os::SondarArpPeloAuxiliar("tvxa", TextoParaIp("192.168.0.101"), codigo));
            anotar(os::SondarArpPeloAuxiliar("tvxa", TextoParaIp("192.168.0.102"), codigo));
            for (const auto& [adicionar, endereco] : {std::pair{true, "192.168.0.102"},
                                                      {true, "192.168.0.102"},
                                                      {false, "192.168.0.50"},
                                                      {false, "192.168.0.102"},
                                                      {false, "192.168.0.102"}}) {
                anotar(os::EnderecoProprioPeloAuxiliar(adicionar, "tvxa", TextoParaIp(endereco), 24,
                                                       codigo));
            }
            visto.close();
            _exit(0);
        }
        int estado = -1;
        waitpid(pid, &estado, 0);  // each helper call is bounded in time
        EXPECT_EQ(estado, 0);
        // In use, free; added, already there; not ours; removed, gone.
        EXPECT_EQ(teste::LerArquivo(pasta / "visto"),
                  std::to_string(EADDRINUSE) + " 0 0 " + std::to_string(EEXIST) + " " +
                      std::to_string(ENOENT) + " 0 " + std::to_string(ENOENT) + " ");
        EXPECT_EQ(teste::EnderecosIpv4(rede, "tvxa"), "192.168.0.50/24 ");
        fs::remove_all(pasta);
    });
}

}  // namespace
}  // namespace tvx
