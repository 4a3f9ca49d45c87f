#include "protocols/registros_medicao.h"

#include <bit>
#include <charconv>
#include <iterator>

#include "core/registros.h"
#include "core/utilitarios.h"
#include "protocols/protocolos_comum.h"

namespace tvx::protocolos {

namespace {

constexpr int kQuantidadeEntradas = 16;
constexpr int kQuantidadeSaidas = 4;
constexpr const char* kFormatosMedicao[] = {
    "IACS:", "IDC:", "VFN:", "VNT:", "VDC:", "TEMP1:", "TEMP2:"};

// "%.3f" without the process locale: the front end sets it from the
// environment, and a device value must not turn into "1,500". Room for the
// largest float, infinities and NaN.
std::string TresCasas(float valor) {
    char texto[400];
    const auto r = std::to_chars(texto, texto + sizeof texto, static_cast<double>(valor),
                                 std::chars_format::fixed, 3);
    return std::string(texto, r.ptr);
}

}  // namespace

bool BlocoRegistrosCompleto(const uint8_t* resposta, int recebidos, int tamanho) {
    return resposta != nullptr && tamanho >= 0 && recebidos >= kInicioDadosModbusTcp + tamanho &&
           resposta[kInicioDadosModbusTcp - 1] >= tamanho;
}

ProgramacaoAtiva DecodificarProgramacao(const uint8_t* bytes) {
    ProgramacaoAtiva p;
    p.entradas = RegistroDe(bytes);
    p.saidas = RegistroDe(bytes + 2);
    // Registers 1282-1283 hold the octets in dotted order, which is the byte
    // order of the numeric form in memory.
    p.ip = LerIpRegistro(bytes, 4);
    return p;
}

std::string TextoProgramacao(const ProgramacaoAtiva& p) {
    std::string texto = "\r\nProgramação ativa:\r\n";
    for (int i = 1; i <= kQuantidadeEntradas; ++i) {
        texto += "E" + std::to_string(i) + ":Ativa em:";
        texto += (p.entradas >> (i - 1) & 1) ? "1" : "0";
        texto += "\r\n";
    }
    for (int i = 1; i <= kQuantidadeSaidas; ++i) {
        texto += "Saída " + std::to_string(i) + ":";
        texto += (p.saidas >> (i - 1) & 1) ? "(1) Biestável" : "(0) Monoestável";
        texto += "\r\n";
    }
    return texto + "IP:" + IpParaTexto(p.ip, false);
}

std::string TextoMedicoes(const uint8_t* bytes) {
    std::string texto = "\r\nMedição:\r\n";
    for (size_t i = 0; i < std::size(kFormatosMedicao); ++i) {
        // The first register of each pair holds the low 16 bits.
        const uint32_t baixo = RegistroDe(bytes + 4 * i);
        const uint32_t alto = RegistroDe(bytes + 4 * i + 2);
        texto += kFormatosMedicao[i] + TresCasas(std::bit_cast<float>(alto << 16 | baixo)) + "\r\n";
    }
    return texto;
}

}  // namespace tvx::protocolos
