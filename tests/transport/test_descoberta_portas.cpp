// Port discovery over a synthetic device tree laid out like the kernel's:
// class entries are links into the device tree, `device`, `driver` and
// `subsystem` are relative links, attributes are small text files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "transport/descoberta_portas.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

struct ArvoreSysfs {
    ArvoreSysfs() {
        std::string modelo = (fs::temp_directory_path() / "tvx-sysfs-XXXXXX").string();
        raiz = mkdtemp(modelo.data());
        fs::create_directories(raiz / "sys/class/tty");
    }
    ~ArvoreSysfs() { fs::remove_all(raiz); }
    static void Ligar(const fs::path& link, const fs::path& alvo) {
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(fs::relative(alvo, link.parent_path()), link);
    }
    static void Escrever(const fs::path& arquivo, const std::string& texto) {
        std::ofstream(arquivo, std::ios::binary) << texto;
    }
    // A device node under sys/devices, on a bus, with a driver unless "".
    fs::path Dispositivo(const std::string& caminho, const std::string& bus = "pnp",
                         const std::string& driver = "serial") {
        const fs::path d = raiz / "sys/devices" / caminho;
        fs::create_directories(d);
        fs::create_directories(raiz / "sys/bus" / bus / "drivers" / driver);
        Ligar(d / "subsystem", raiz / "sys/bus" / bus);
        if (!driver.empty()) {
            Ligar(d / "driver", raiz / "sys/bus" / bus / "drivers" / driver);
        }
        return d;
    }
    // The tty class entry of a port on the device (none: a virtual one).
    void Porta(const std::string& nome, const fs::path& dispositivo = {},
               const std::string& tipo = "", const std::string& devname = "") {
        const fs::path t =
            (dispositivo.empty() ? raiz / "sys/devices/virtual" : dispositivo) / "tty" / nome;
        fs::create_directories(t);
        Escrever(t / "uevent", "MAJOR=188\nDEVNAME=" + (devname.empty() ? nome : devname) + "\n");
        if (!dispositivo.empty()) {
            Ligar(t / "device", dispositivo);
        }
        if (!tipo.empty()) {
            Escrever(t / "type", tipo + "\n");
        }
        Ligar(raiz / "sys/class/tty" / nome, t);
    }
    // A USB device with its interface, which it returns.
    fs::path Usb(const std::string& porta, const std::string& produto, const std::string& driver) {
        const std::string hub = "pci0000:00/0000:00:14.0/usb1/" + porta;
        const fs::path dispositivo = Dispositivo(hub, "usb", "usb");
        Escrever(dispositivo / "idVendor", "0403\n");
        if (!produto.empty()) {
            Escrever(dispositivo / "product", produto);
        }
        return Dispositivo(hub + "/" + porta + ":1.0", "usb", driver);
    }
    fs::path raiz;
};

TEST(DescobertaPortas, CadaTipoDePortaEmOrdemNatural) {
    ArvoreSysfs a;
    // Consoles, virtual terminals and the pseudo-terminal multiplexer have no
    // hardware behind them.
    for (const char* nome : {"console", "tty0", "ptmx"}) {
        a.Porta(nome);
    }
    a.Usb("1-1", "FT232R USB UART\n", "ftdi_sio");
    a.Porta("ttyUSB0", a.Dispositivo("pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0",
                                     "usb-serial", "ftdi_sio"));
    // A CDC modem: the tty hangs on the interface itself; no product name, or
    // one with a stray control character and blanks.
    a.Porta("ttyACM0", a.Usb("1-2", "", "cdc_acm"));
    a.Porta("ttyACM1", a.Usb("1-3", "  Modem\tGPRS  \n", "cdc_acm"));
    // Newer kernels: tty -> serial-base port -> serial-base ctrl -> PNP device;
    // older ones: the tty hangs straight on the hardware.
    a.Dispositivo("pnp0/00:05");
    a.Dispositivo("pnp0/00:05/00:05:0", "serial-base", "ctrl");
    a.Porta("ttyS0", a.Dispositivo("pnp0/00:05/00:05:0/00:05:0.0", "serial-base", "port"), "4");
    a.Porta("ttyS10", a.Dispositivo("pnp0/00:06"), "4");
    // The 8250 driver registers placeholders whether or not a UART exists.
    a.Dispositivo("platform/serial8250", "platform", "serial8250");
    a.Dispositivo("platform/serial8250/serial8250:0", "serial-base", "ctrl");
    for (const char* i : {"3", "4"}) {
        a.Porta(std::string("ttyS") + i,
                a.Dispositivo(std::string("platform/serial8250/serial8250:0/serial8250:0.") + i,
                              "serial-base", "port"),
                i[0] == '4' ? "4" : "0");
    }
    a.Porta("ttyXR0", a.Dispositivo("pci0000:00/0000:00:1c.0", "pci", ""));  // no driver
    // The device went while its class entry still points at it.
    const fs::path removido = a.Dispositivo("pci0000:00/0000:00:1c.1", "pci", "exar_serial");
    a.Porta("ttyXR1", removido);
    fs::remove_all(removido);
    for (const char* nome : {"ttyCOM", "ttyCOM12", "ttyCOM999"}) {
        a.Porta(nome, a.Dispositivo(std::string("pnp0/") + nome));
    }
    // A node in a subfolder of /dev opens by its path.
    a.Porta("serial!ttyX0", a.Dispositivo("pnp0/00:07"), "", "serial/ttyX0");
    std::vector<InfoPortaSerial> portas(3);  // whatever was there goes
    EnumerarPortas(portas, (a.raiz / "sys/class/tty").string());
    std::vector<std::string> d;
    for (const auto& p : portas) {
        d.push_back(p.nomePorta + "|" + p.caminhoDispositivo + "|" + p.nomeAmigavel + "|" +
                    p.descricao + "|" + (p.usb ? "usb" : "") + "|" + std::to_string(p.numeroPorta));
    }
    EXPECT_EQ((std::vector<std::string>{
                  "/dev/serial/ttyX0|/dev/serial/ttyX0|serial (serial/ttyX0)|serial||0",
                  "ttyACM0|/dev/ttyACM0|cdc_acm (ttyACM0)|cdc_acm|usb|0",
                  "ttyACM1|/dev/ttyACM1|Modem GPRS (ttyACM1)|Modem GPRS|usb|0",
                  "ttyCOM|/dev/ttyCOM|serial (ttyCOM)|serial||0",
                  "ttyCOM12|/dev/ttyCOM12|serial (ttyCOM12)|serial||12",
                  "ttyCOM999|/dev/ttyCOM999|serial (ttyCOM999)|serial||0",  // no 8-bit number
                  "ttyS0|/dev/ttyS0|serial (ttyS0)|serial||0",
                  "ttyS4|/dev/ttyS4|serial8250 (ttyS4)|serial8250||0",
                  "ttyS10|/dev/ttyS10|serial (ttyS10)|serial||0",
                  "ttyUSB0|/dev/ttyUSB0|FT232R USB UART (ttyUSB0)|FT232R USB UART|usb|0",
                  "ttyXR0|/dev/ttyXR0|ttyXR0|ttyXR0||0",
              }),
              d);
}

TEST(DescobertaPortas, RaizIlegivelLancaComOCaminho) {
    ArvoreSysfs a;
    std::vector<InfoPortaSerial> portas(2);
    const std::string ausente = (a.raiz / "nao-existe").string();
    try {
        EnumerarPortas(portas, ausente);
        FAIL() << "no exception";
    } catch (const ErroDescobertaPortas& e) {
        EXPECT_EQ("Could not read from " + ausente + ": " + std::strerror(ENOENT), e.what());
    }
    EXPECT_TRUE(portas.empty());
    // Read-only look at this machine's tree: every record complete, under /dev.
    if (fs::is_directory(kRaizSysfsTty)) {
        ASSERT_NO_THROW(EnumerarPortas(portas));
        for (const auto& p : portas) {
            EXPECT_EQ(0u, p.caminhoDispositivo.rfind("/dev/", 0));
            EXPECT_FALSE(p.nomePorta.empty() || p.nomeAmigavel.empty() || p.descricao.empty());
        }
    }
}

}  // namespace
}  // namespace tvx
