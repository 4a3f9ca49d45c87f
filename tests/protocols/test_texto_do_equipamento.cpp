// Control bytes in a device's reply reach the page, the terminal and the log
// only as "\xNN": no escape sequence, no bell, no line of their own. The
// device's own CR LF line breaks in the read text stay line breaks.
#include <gtest/gtest.h>

#include "bancada.h"

namespace tvx::teste {
namespace {

TEST(TextoDoEquipamento, BytesDeControleDaRespostaSaemEscapados) {
    ParTcp par("127.6.9.1", 5003);
    Bancada eco(8);  // family 1: the echo of the three address texts
    ASSERT_TRUE(eco.ConectarTcp("127.6.9.1"));
    par.Responder(Juntar({Slot("\ntouch PWNED #", 20), Slot("\x1B]0;x\x07\x1B[2J", 20),
                          Slot("10.0.0.1\r\x9B", 20)}));
    std::string r;
    ASSERT_TRUE(eco.e.ProgramarIp(r));
    EXPECT_EQ(eco.e.GetIpLido(), "\\x0Atouch PWNED #");
    EXPECT_EQ(eco.e.GetMascaraLida(), "\\x1B]0;x\\x07\\x1B[2J");
    EXPECT_EQ(eco.e.GetGatewayLido(), "10.0.0.1\\x0D\\x9B");
    eco.e.Desconecta();

    // The read text: bytes 1 to 31 but tab, LF and CR are spaces in it already.
    Bancada texto(3);
    ASSERT_TRUE(texto.ConectarTcp("127.6.9.1"));
    par.Responder(Juntar({std::vector<uint8_t>(5, 0x10),
                          Bytes("IP: 1.2\n3\r\nMask:\x1B[2J\r\nNome:\tA\x7F\x9B\rB\xE7\r\n")}));
    ASSERT_TRUE(texto.e.LerConfiguracao(r));
    EXPECT_EQ(r, "IP: 1.2\\x0A3\r\nMask: [2J\r\nNome:\tA\\x7F\\x9B\\x0DB\u00E7\r\n");
    EXPECT_EQ(texto.e.GetIpLido(), "1.2\\x0A3");
}

}  // namespace
}  // namespace tvx::teste
