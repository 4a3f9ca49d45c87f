// Port discovery over synthetic device trees laid out like the kernel's:
// class entries are links into the device tree, `device`, `driver` and
// `subsystem` are relative links, attributes are small text files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "transport/descoberta_portas.h"
#include "transport/serial.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

class ArvoreSysfs {
  public:
    ArvoreSysfs() {
        std::string modelo = (fs::temp_directory_path() / "tvx-sysfs-XXXXXX").string();
        if (mkdtemp(modelo.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        raiz_ = modelo;
        fs::create_directories(Tty());
        fs::create_directories(raiz_ / "sys/devices/virtual/tty");
    }
    ~ArvoreSysfs() {
        std::error_code ec;
        fs::remove_all(raiz_, ec);
    }
    ArvoreSysfs(const ArvoreSysfs&) = delete;
    ArvoreSysfs& operator=(const ArvoreSysfs&) = delete;

    fs::path Tty() const { return raiz_ / "sys/class/tty"; }
    fs::path Raiz() const { return raiz_; }

    // A device node under sys/devices, on a bus, optionally with a driver.
    fs::path Dispositivo(const std::string& caminho, const std::string& barramento,
                         const std::string& driver = "") {
        const fs::path d = raiz_ / "sys/devices" / caminho;
        fs::create_directories(d);
        const fs::path bus = raiz_ / "sys/bus" / barramento;
        fs::create_directories(bus / "drivers");
        Ligar(d / "subsystem", bus);
        if (!driver.empty()) {
            fs::create_directories(bus / "drivers" / driver);
            Ligar(d / "driver", bus / "drivers" / driver);
        }
        return d;
    }

    // The tty class entry of a port on the device at dispositivo.
    void Porta(const std::string& nome, const fs::path& dispositivo, const std::string& tipo = "") {
        const fs::path t = dispositivo / "tty" / nome;
        fs::create_directories(t);
        Escrever(t / "uevent", "MAJOR=188\nMINOR=0\nDEVNAME=" + nome + "\n");
        Ligar(t / "device", dispositivo);
        if (!tipo.empty()) {
            Escrever(t / "type", tipo + "\n");
        }
        Ligar(Tty() / nome, t);
    }

    void Virtual(const std::string& nome) {
        const fs::path t = raiz_ / "sys/devices/virtual/tty" / nome;
        fs::create_directories(t);
        Escrever(t / "uevent", "MAJOR=4\nMINOR=1\nDEVNAME=" + nome + "\n");
        Ligar(Tty() / nome, t);
    }

    // A USB device with its interface; returns the interface.
    fs::path Usb(const std::string& porta, const std::string& produto,
                 const std::string& driverInterface) {
        const std::string hub = "pci0000:00/0000:00:14.0/usb1";
        const fs::path dispositivo = Dispositivo(hub + "/" + porta, "usb", "usb");
        Escrever(dispositivo / "idVendor", "0403\n");
        if (!produto.empty()) {
            Escrever(dispositivo / "product", produto);
        }
        return Dispositivo(hub + "/" + porta + "/" + porta + ":1.0", "usb", driverInterface);
    }

    static void Escrever(const fs::path& arquivo, const std::string& texto) {
        std::ofstream(arquivo, std::ios::binary) << texto;
    }

  private:
    static void Ligar(const fs::path& link, const fs::path& alvo) {
        fs::create_directory_symlink(fs::relative(alvo, link.parent_path()), link);
    }

    fs::path raiz_;
};

std::vector<InfoPortaSerial> Enumerar(const ArvoreSysfs& arvore) {
    std::vector<InfoPortaSerial> portas;
    EnumerarPortas(portas, arvore.Tty().string());
    return portas;
}

std::vector<std::string> Nomes(const std::vector<InfoPortaSerial>& portas) {
    std::vector<std::string> nomes;
    for (const auto& p : portas) {
        nomes.push_back(p.nomePorta);
    }
    return nomes;
}

TEST(DescobertaPortas, SemPortasListaVazia) {
    ArvoreSysfs arvore;
    std::vector<InfoPortaSerial> portas(3);
    EnumerarPortas(portas, arvore.Tty().string());
    EXPECT_TRUE(portas.empty());

    // Consoles, virtual terminals and the pseudo-terminal multiplexer have no
    // hardware behind them.
    for (const char* nome : {"console", "tty", "tty0", "tty1", "ptmx", "ttyprintk"}) {
        arvore.Virtual(nome);
    }
    EXPECT_TRUE(Enumerar(arvore).empty());
}

TEST(DescobertaPortas, AdaptadorUsb) {
    ArvoreSysfs arvore;
    arvore.Usb("1-1", "FT232R USB UART\n", "ftdi_sio");
    arvore.Porta("ttyUSB0", arvore.Dispositivo("pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0",
                                               "usb-serial", "ftdi_sio"));
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(1u, portas.size());
    const InfoPortaSerial& p = portas[0];
    EXPECT_EQ("/dev/ttyUSB0", p.caminhoDispositivo);
    EXPECT_EQ("ttyUSB0", p.nomePorta);
    EXPECT_EQ("FT232R USB UART (ttyUSB0)", p.nomeAmigavel);
    EXPECT_TRUE(p.usb);
    EXPECT_EQ("FT232R USB UART", p.descricao);
    EXPECT_EQ(0, p.numeroPorta);

    // What discovery lists is what the port opens.
    cSerial serial;
    serial.DefinirNomePorta(p.nomePorta);
    EXPECT_EQ(p.caminhoDispositivo, serial.CaminhoDispositivo());
}

TEST(DescobertaPortas, UsbSemNomeDeProdutoUsaODriver) {
    ArvoreSysfs arvore;
    // A CDC modem: the tty hangs on the interface itself.
    arvore.Porta("ttyACM0", arvore.Usb("1-2", "", "cdc_acm"));
    // A product string with a stray control character and blanks.
    arvore.Porta("ttyACM1", arvore.Usb("1-3", "  Modem\tGPRS  \n", "cdc_acm"));
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(2u, portas.size());
    EXPECT_EQ("cdc_acm (ttyACM0)", portas[0].nomeAmigavel);
    EXPECT_EQ("cdc_acm", portas[0].descricao);
    EXPECT_TRUE(portas[0].usb);
    EXPECT_EQ("Modem GPRS (ttyACM1)", portas[1].nomeAmigavel);
    EXPECT_EQ("Modem GPRS", portas[1].descricao);
}

TEST(DescobertaPortas, PortaDaPlacaEMarcadoresSemUart) {
    ArvoreSysfs arvore;
    // Newer kernels: tty -> serial-base port -> serial-base ctrl -> PNP device.
    arvore.Dispositivo("pnp0/00:05", "pnp", "serial");
    arvore.Dispositivo("pnp0/00:05/00:05:0", "serial-base", "ctrl");
    arvore.Porta("ttyS0", arvore.Dispositivo("pnp0/00:05/00:05:0/00:05:0.0", "serial-base", "port"),
                 "4");
    // Older kernels: the tty hangs straight on the hardware.
    arvore.Porta("ttyS1", arvore.Dispositivo("pnp0/00:06", "pnp", "serial"), "4");
    // The 8250 driver registers placeholders whether or not a UART exists.
    arvore.Dispositivo("platform/serial8250", "platform", "serial8250");
    arvore.Dispositivo("platform/serial8250/serial8250:0", "serial-base", "ctrl");
    for (int i = 2; i < 6; ++i) {
        const std::string no = "platform/serial8250/serial8250:0/serial8250:0." + std::to_string(i);
        arvore.Porta("ttyS" + std::to_string(i), arvore.Dispositivo(no, "serial-base", "port"),
                     i == 4 ? "4" : "0");
    }
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(3u, portas.size());
    EXPECT_EQ("serial (ttyS0)", portas[0].nomeAmigavel);
    EXPECT_EQ("serial", portas[0].descricao);
    EXPECT_EQ("/dev/ttyS0", portas[0].caminhoDispositivo);
    EXPECT_FALSE(portas[0].usb);
    EXPECT_EQ("serial (ttyS1)", portas[1].nomeAmigavel);
    EXPECT_EQ("ttyS4", portas[2].nomePorta);
    EXPECT_EQ("serial8250 (ttyS4)", portas[2].nomeAmigavel);
}

TEST(DescobertaPortas, SemDriverONomeDaPortaBasta) {
    ArvoreSysfs arvore;
    arvore.Porta("ttyXR0", arvore.Dispositivo("pci0000:00/0000:00:1c.0", "pci"));
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(1u, portas.size());
    EXPECT_EQ("ttyXR0", portas[0].nomeAmigavel);
    EXPECT_EQ("ttyXR0", portas[0].descricao);
}

TEST(DescobertaPortas, PortaRemovidaDuranteAVarredura) {
    ArvoreSysfs arvore;
    const fs::path d = arvore.Dispositivo("pci0000:00/0000:00:1c.0", "pci", "exar_serial");
    arvore.Porta("ttyXR0", d);
    arvore.Porta("ttyXR1", arvore.Dispositivo("pci0000:00/0000:00:1c.1", "pci", "exar_serial"));
    fs::remove_all(d);  // the device went, the class entry still points at it
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(1u, portas.size());
    EXPECT_EQ("ttyXR1", portas[0].nomePorta);
}

TEST(DescobertaPortas, OrdemNaturalPorNome) {
    ArvoreSysfs arvore;
    for (const char* nome : {"ttyS10", "ttyUSB10", "ttyS2", "ttyUSB9", "ttyS1", "ttyACM0"}) {
        arvore.Porta(nome, arvore.Dispositivo(std::string("pnp0/") + nome, "pnp", "serial"), "4");
    }
    EXPECT_EQ(
        (std::vector<std::string>{"ttyACM0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB9", "ttyUSB10"}),
        Nomes(Enumerar(arvore)));
}

TEST(DescobertaPortas, NumeroDepoisDeCOM) {
    ArvoreSysfs arvore;
    for (const char* nome : {"ttyCOM12", "ttyCOM999", "ttyCOM"}) {
        arvore.Porta(nome, arvore.Dispositivo(std::string("pnp0/") + nome, "pnp", "serial"));
    }
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(3u, portas.size());
    EXPECT_EQ("ttyCOM", portas[0].nomePorta);
    EXPECT_EQ(0, portas[0].numeroPorta);
    EXPECT_EQ(12, portas[1].numeroPorta);
    EXPECT_EQ(0, portas[2].numeroPorta);  // 999 is no 8-bit port number
}

TEST(DescobertaPortas, NoEmSubpastaAbrePeloCaminho) {
    ArvoreSysfs arvore;
    const fs::path d = arvore.Dispositivo("pnp0/00:07", "pnp", "serial");
    arvore.Porta("serial!ttyX0", d);
    ArvoreSysfs::Escrever(d / "tty/serial!ttyX0/uevent", "MAJOR=4\nDEVNAME=serial/ttyX0\n");
    const auto portas = Enumerar(arvore);
    ASSERT_EQ(1u, portas.size());
    EXPECT_EQ("/dev/serial/ttyX0", portas[0].caminhoDispositivo);
    EXPECT_EQ("/dev/serial/ttyX0", portas[0].nomePorta);
    EXPECT_EQ("serial (serial/ttyX0)", portas[0].nomeAmigavel);
}

TEST(DescobertaPortas, RaizIlegivelLancaComOCaminho) {
    ArvoreSysfs arvore;
    std::vector<InfoPortaSerial> portas(2);
    const std::string ausente = (arvore.Raiz() / "nao-existe").string();
    try {
        EnumerarPortas(portas, ausente);
        FAIL() << "no exception";
    } catch (const ErroDescobertaPortas& e) {
        EXPECT_EQ("Could not read from " + ausente + ": " + std::strerror(ENOENT),
                  std::string(e.what()));
    }
    EXPECT_TRUE(portas.empty());

    const fs::path arquivo = arvore.Raiz() / "arquivo";
    ArvoreSysfs::Escrever(arquivo, "x");
    try {
        EnumerarPortas(portas, arquivo.string());
        FAIL() << "no exception";
    } catch (const ErroDescobertaPortas& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find(arquivo.string()));
        EXPECT_NE(std::string::npos, std::string(e.what()).find(std::strerror(ENOTDIR)));
    }
}

TEST(DescobertaPortas, ArvoreDestaMaquinaNaoFalha) {
    // Read-only look at the real tree: whatever it holds, every record is
    // complete and points under /dev.
    if (!fs::is_directory(kRaizSysfsTty)) {
        GTEST_SKIP() << kRaizSysfsTty << " is not mounted here";
    }
    std::vector<InfoPortaSerial> portas;
    ASSERT_NO_THROW(EnumerarPortas(portas));
    for (const auto& p : portas) {
        EXPECT_EQ(0u, p.caminhoDispositivo.rfind("/dev/", 0));
        EXPECT_FALSE(p.nomePorta.empty());
        EXPECT_FALSE(p.nomeAmigavel.empty());
        EXPECT_FALSE(p.descricao.empty());
    }
}

}  // namespace
}  // namespace tvx
