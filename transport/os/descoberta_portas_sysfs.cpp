// Serial port discovery from the kernel's device tree: every tty class entry
// that sits on real hardware is a port. What counts:
// - the entry has a `device` link (console, ptmx, tty0.., pseudo-terminals
//   and other virtual ttys have none);
// - a port of the serial core (ttyS, ttyAMA, ...) shows the UART type in its
//   `type` attribute; 0 there (no UART found) marks the placeholders the 8250
//   driver registers whether hardware exists or not, and they are left out;
// - the port is USB when the resolved device path passes through a USB bus
//   (a "usbN" root hub directory);
// - the friendly name is the USB device's product string, else the name of
//   the driver that owns the hardware, followed by the port in parentheses.
// The kernel lists the directory in no useful order; ports are sorted by
// name with numbers compared as numbers (ttyS2 before ttyS10).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "transport/descoberta_portas.h"

namespace tvx {

namespace {

namespace fs = std::filesystem;

// Attribute files are a page at most; a USB string is far shorter.
constexpr std::streamsize kTamanhoMaximoAtributo = 4096;
// The medium page showed names of up to 255 characters.
constexpr size_t kTamanhoMaximoNome = 255;
// Devices are nested a few levels below a bus; a walk up stops well before
// leaving the device tree.
constexpr int kProfundidadeMaxima = 32;

bool Digito(char c) {
    return c >= '0' && c <= '9';
}

bool LerAtributo(const fs::path& arquivo, std::string& texto) {
    std::ifstream entrada(arquivo, std::ios::binary);
    if (!entrada) {
        return false;
    }
    std::string lido(static_cast<size_t>(kTamanhoMaximoAtributo), '\0');
    entrada.read(lido.data(), kTamanhoMaximoAtributo);
    if (entrada.bad()) {
        return false;
    }
    lido.resize(static_cast<size_t>(entrada.gcount()));
    texto = std::move(lido);
    return true;
}

// Device strings come from the device itself: control characters become
// spaces, surrounding blanks go, and the length is bounded without cutting
// a UTF-8 sequence in two.
std::string TextoDeExibicao(std::string texto) {
    for (char& c : texto) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            c = ' ';
        }
    }
    const size_t inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos) {
        return {};
    }
    texto = texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1);
    if (texto.size() > kTamanhoMaximoNome) {
        size_t corte = kTamanhoMaximoNome;
        while (corte > 0 && (static_cast<unsigned char>(texto[corte]) & 0xC0) == 0x80) {
            --corte;
        }
        texto.resize(corte);
    }
    return texto;
}

std::string AtributoExibivel(const fs::path& arquivo) {
    std::string texto;
    if (!LerAtributo(arquivo, texto)) {
        return {};
    }
    return TextoDeExibicao(std::move(texto));
}

// The node a device path's link points to, by its last component
// ("subsystem" → "usb", "driver" → "ftdi_sio").
std::string NomeDoLink(const fs::path& link) {
    std::error_code ec;
    const fs::path alvo = fs::read_symlink(link, ec);
    return ec ? std::string() : alvo.filename().string();
}

bool PassaPorUsb(const fs::path& caminhoReal) {
    for (const fs::path& parte : caminhoReal) {
        const std::string nome = parte.string();
        if (nome.size() > 3 && nome.compare(0, 3, "usb") == 0 &&
            std::all_of(nome.begin() + 3, nome.end(), Digito)) {
            return true;
        }
    }
    return false;
}

// The product string of the USB device above the port (the interface and
// the usb-serial port below it have none).
std::string ProdutoUsb(fs::path caminho) {
    std::error_code ec;
    for (int i = 0; i < kProfundidadeMaxima && caminho.has_relative_path(); ++i) {
        if (caminho.filename() == "devices") {
            break;
        }
        if (fs::exists(caminho / "idVendor", ec)) {
            return AtributoExibivel(caminho / "product");
        }
        caminho = caminho.parent_path();
    }
    return {};
}

// The driver of the hardware. Newer kernels put the serial core's own port
// and controller devices (bus "serial-base", drivers "port" and "ctrl")
// between the tty and the hardware; they say nothing about the port.
std::string DriverDoDispositivo(fs::path caminho) {
    for (int i = 0; i < kProfundidadeMaxima && caminho.has_relative_path(); ++i) {
        if (caminho.filename() == "devices") {
            break;
        }
        if (NomeDoLink(caminho / "subsystem") != "serial-base") {
            return NomeDoLink(caminho / "driver");
        }
        caminho = caminho.parent_path();
    }
    return {};
}

// The device node name: DEVNAME of the uevent, else the entry's own name,
// where the kernel writes '!' for a '/'.
std::string NomeDoNo(const fs::path& entrada, const std::string& nomeEntrada) {
    std::string uevent;
    if (LerAtributo(entrada / "uevent", uevent)) {
        constexpr std::string_view kChave = "DEVNAME=";
        size_t pos = 0;
        while (pos < uevent.size()) {
            size_t fim = uevent.find('\n', pos);
            if (fim == std::string::npos) {
                fim = uevent.size();
            }
            const std::string_view linha(uevent.data() + pos, fim - pos);
            if (linha.substr(0, kChave.size()) == kChave && linha.size() > kChave.size()) {
                return std::string(linha.substr(kChave.size()));
            }
            pos = fim + 1;
        }
    }
    std::string nome = nomeEntrada;
    std::replace(nome.begin(), nome.end(), '!', '/');
    return nome;
}

bool EhMarcadorSemUart(const fs::path& entrada) {
    std::error_code ec;
    if (!fs::exists(entrada / "type", ec)) {
        return false;
    }
    return AtributoExibivel(entrada / "type") == "0";
}

// Numbers inside names compare by value: ttyS2 < ttyS10, ttyUSB9 < ttyUSB10.
bool MenorNatural(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (Digito(a[i]) && Digito(b[j])) {
            size_t fi = i;
            while (fi < a.size() && Digito(a[fi])) {
                ++fi;
            }
            size_t fj = j;
            while (fj < b.size() && Digito(b[fj])) {
                ++fj;
            }
            while (i + 1 < fi && a[i] == '0') {
                ++i;
            }
            while (j + 1 < fj && b[j] == '0') {
                ++j;
            }
            if (fi - i != fj - j) {
                return fi - i < fj - j;
            }
            const int c = a.compare(i, fi - i, b, j, fj - j);
            if (c != 0) {
                return c < 0;
            }
            i = fi;
            j = fj;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) {
        return a.size() - i < b.size() - j;
    }
    return a < b;  // only leading zeros differ
}

void Completar(InfoPortaSerial& info) {
    if (info.nomeAmigavel.empty()) {
        info.nomeAmigavel = info.nomePorta;
    }
    if (info.descricao.empty()) {
        info.descricao = info.nomeAmigavel;
        const size_t parentese = info.descricao.find(" (");
        if (parentese != std::string::npos && parentese >= 1 && info.descricao.back() == ')') {
            info.descricao.resize(parentese);
        }
    }
    info.numeroPorta = 0;
    const size_t com = info.nomePorta.find("COM");
    if (com != std::string::npos) {
        const int numero = std::atoi(info.nomePorta.substr(com + 3, 3).c_str());
        // Three digits reach 999; a number that does not fit is no number.
        if (numero > 0 && numero <= 255) {
            info.numeroPorta = static_cast<uint8_t>(numero);
        }
    }
}

}  // namespace

void EnumerarPortas(std::vector<InfoPortaSerial>& portas, const std::string& raizSysfs) {
    portas.clear();

    const fs::path raiz(raizSysfs);
    std::error_code ec;
    std::vector<std::string> entradas;
    fs::directory_iterator it(raiz, ec);
    const fs::directory_iterator fimDiretorio;
    while (!ec && it != fimDiretorio) {
        entradas.push_back(it->path().filename().string());
        it.increment(ec);
    }
    if (ec) {
        throw ErroDescobertaPortas("Could not read from " + raizSysfs + ": " + ec.message());
    }
    std::sort(entradas.begin(), entradas.end(), MenorNatural);

    for (const std::string& nomeEntrada : entradas) {
        const fs::path entrada = raiz / nomeEntrada;
        // A port unplugged during the walk loses its files: it is simply
        // not listed.
        const fs::path dispositivo = fs::canonical(entrada / "device", ec);
        if (ec || EhMarcadorSemUart(entrada)) {
            continue;
        }

        InfoPortaSerial info;
        const std::string no = NomeDoNo(entrada, nomeEntrada);
        info.caminhoDispositivo = "/dev/" + no;
        // cSerial opens a bare name under /dev; a node in a subfolder needs
        // its whole path.
        info.nomePorta = no.find('/') == std::string::npos ? no : info.caminhoDispositivo;
        info.usb = PassaPorUsb(dispositivo);
        std::string base = info.usb ? ProdutoUsb(dispositivo) : std::string();
        if (base.empty()) {
            base = DriverDoDispositivo(dispositivo);
        }
        if (!base.empty()) {
            info.nomeAmigavel = base + " (" + no + ")";
        }
        Completar(info);
        portas.push_back(std::move(info));
    }
}

}  // namespace tvx
