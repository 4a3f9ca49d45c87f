#!/usr/bin/env python3
"""Writes the starting inputs of the fuzz targets, one folder per target.

The starting inputs are the byte vectors and texts of the unit tests, laid out the way
each target reads its input; those of the reply decoders' targets are the
replies of the simulated equipment, which the program respostas_do_simulador (fuzz/respostas_do_simulador.cpp) prints (build it
first: cmake --build build --target respostas_do_simulador). Run it again after changing a target's input
layout; the files it writes are committed beside it.
"""
import os
import struct
import subprocess
import sys

AQUI = os.path.dirname(os.path.abspath(__file__))


def gravar(alvo, nome, dados):
    pasta = os.path.join(AQUI, alvo)
    os.makedirs(pasta, exist_ok=True)
    with open(os.path.join(pasta, nome), "wb") as f:
        f.write(dados)


def texto_provedor(t):
    """A string as FuzzedDataProvider.ConsumeRandomLengthString reads it."""
    return t.replace(b"\\", b"\\\\") + b"\\\x00"


def crc_modbus(d):
    crc = 0xFFFF
    for b in d:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def com_crc(d):
    return d + struct.pack("<H", crc_modbus(d))


# ---- fuzz_resposta_modbus: the 8-byte request, then the reply on the line
leitura = bytes.fromhex("010304000002C53B")
escrita = bytes.fromhex("0110050000020441")  # first 8 bytes of a write of 1280..1281
entrada = bytes.fromhex("01040000000131CA")
m = "fuzz_resposta_modbus"
gravar(m, "leitura_ok", leitura + bytes.fromhex("010304C0A8006587F8"))
gravar(m, "escrita_ok", escrita + bytes.fromhex("0110050000024104"))
gravar(m, "entrada_ok", entrada + bytes.fromhex("0104021234B447"))
gravar(m, "excecao", leitura + bytes.fromhex("018302C0F1"))
gravar(m, "unidade_errada", leitura + bytes.fromhex("020304C0A8006587F8"))
gravar(m, "contagem_excessiva", leitura + bytes.fromhex("0103FD00"))
gravar(m, "leitura_cheia", bytes.fromhex("0103040000 7E".replace(" ", "")) + b"\x00\x00"
       + com_crc(b"\x01\x03\xFC" + bytes(range(252))))
gravar(m, "registro_errado", bytes.fromhex("0110050300010273") + bytes.fromhex("011005020001"))

# ---- fuzz_quadros: operation selector and arguments come from the end
q = "fuzz_quadros"
gravar(q, "dle_sem_carga", bytes.fromhex("104C16") + b"\x00\x08\x01\x00\x00\x01")
gravar(q, "dle_com_dle", bytes.fromhex("C0A8100065") + b"\x05\x00\x00\x00\x16\x4C\x10\x01\x00\x08\x01")
gravar(q, "simples", bytes.fromhex("C0A80065") + b"\x04\x00\x00\x00\x16\x4C\x00\x08\x00")
gravar(q, "tcp_70", bytes(70) + b"\x00\x00\x01\x46\x00\x00\x00\x00\x01\x02")
gravar(q, "modbus", bytes.fromhex("C0A80065") + b"\x04\x02\x01\x04\x00\x01\x04")
gravar(q, "crc_123456789", b"123456789" + b"\x09\x00\x05")

# ---- fuzz_configuracao: the file itself
c = "fuzz_configuracao"
gravar(c, "padrao", b"[CONFIG]\r\nip=\r\nmask=\r\ngateway=\r\nmodelo=1\r\n"
       b"[MEIO]\r\ntipo=0\r\nip=\r\nporta=\r\nvelocidade=38400\r\nrtu=1\r\n"
       b"[ESPECIAL]\r\noperadora=0\r\nid=\r\nurl=\r\n")
gateway = (b"[CONFIG]\r\nip=10.1.2.3\r\nmask=255.255.0.0\r\ngateway=10.1.0.1\r\nmodelo=19\r\n"
           b"[MEIO]\r\ntipo=2\r\nip=192.168.0.50\r\nporta=COM4\r\nvelocidade=1200\r\nrtu=17\r\n"
           b"[ESPECIAL]\r\noperadora=2\r\nid=Medi\xE7\xE3o 42\r\nurl=http://tvx.example/a?b=c\r\n"
           b"[GATEWAY_MODBUS]\r\nvelocidadade=4\r\n")
for n in range(1, 6):
    gateway += (b"[GATEWAY_MODBUS_%d]\r\nip=172.16.0.%d\r\nfuncao=3\r\nnumreg=%d\r\nrtu=%d\r\n"
                b"endini=%d\r\n" % (n, 9 + n, 19 + n, n, 1000 * n))
gravar(c, "gateway_modbus", gateway)
gravar(c, "linkora", b"[CONFIG]\r\nmodelo=21\r\n[LINKORA_940_5]\r\nfaixartu=3\r\nip1=10.9.8.1\r\n"
       b"ip2=10.9.8.2\r\nip3=10.9.8.3\r\nip4=10.9.8.4\r\nip5=10.9.8.5\r\n")
gravar(c, "fora_de_faixa", b"[MEIO]\r\nvelocidade=12345\r\nrtu=257\r\ntipo=abc\r\n"
       b"[GATEWAY_MODBUS_1]\r\nendini=70000\r\nfuncao=259\r\n"
       b"[GATEWAY_MODBUS_3]\r\nip=10.0.300\r\n[ESPECIAL]\r\noperadora=-1\r\n")
# A zero byte inside a value: the record field must end there.
gravar(c, "zero_no_valor", b"[ESPECIAL]\r\nid=a\x00b\r\nurl=x\x00y\r\n")
gravar(c, "bom_lf", "\ufeff[CONFIG]\nip=1.1.1.1\nobs=painel 3\n\n[PARTICULAR]\nx=\"y\"\n"
       "[ESPECIAL]\nid=Medição\n".encode("utf-8"))

# ---- fuzz_perfil_ini: section, key, value, then sizes from the end; the rest is the file
p = "fuzz_perfil_ini"
ini = b"; gerado no campo\r\n[CONFIG]\r\nip=1.1.1.1\r\nobs=painel 3\r\n\r\n[PARTICULAR]\r\nx=\"y\"\r\n"
gravar(p, "chave_existente", texto_provedor(b"config") + texto_provedor(b"IP")
       + texto_provedor(b"10.0.0.1") + ini + b"\x07\x00\x00\x00\x04\x01")
gravar(p, "secao_nova", texto_provedor(b"MEIO") + texto_provedor(b"porta")
       + texto_provedor(b"COM3") + ini + b"\x00\x00\x00\x00\x00\x01")
gravar(p, "aspas", texto_provedor(b"PARTICULAR") + texto_provedor(b"x")
       + texto_provedor(b"\" z \"") + ini + b"\x00\x00\x00\x00\x03\x00")

# ---- fuzz_enderecos: the selector is the last byte
e = "fuzz_enderecos"
gravar(e, "ip", b"192.168.0.101\x00")
gravar(e, "ip_zeros", b"010.001.002.003\x00")
gravar(e, "ip_grande", b" 300.+2.1\x00")
gravar(e, "mac", b"00:11:22:aa:BB:cc\x01")
gravar(e, "mac_traco", b"0A-1B-2C-3D-4E-5F\x01")
gravar(e, "marcas", texto_provedor(b"IP:") + texto_provedor(b"\r")
       + b"Modelo\x07TVX\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\n" + b"\x04\x01\x02")
gravar(e, "controle", b"\x01\x02\tA\x1f\x7f\x80\xff\r\n\x00\x03")
gravar(e, "aparar", b" \t valor \r\n\x04")

# ---- fuzz_texto: bytes as they are
t = "fuzz_texto"
gravar(t, "latin1", "Programação, Saída, Função".encode("latin-1"))
gravar(t, "utf8", "Programação € Š œ Ÿ".encode("utf-8"))
gravar(t, "cp1252", bytes(range(0x80, 0xA0)))
gravar(t, "quebrado", b"\xC3\x28\xE2\x82\xF0\x9F\x98\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80")

# ---- fuzz_mascara and fuzz_propriedades: operation bytes come from the end
gravar("fuzz_mascara", "ip", texto_provedor(b"###.###.###.###") + texto_provedor(b"192.168.0.1")
       + b"\x00\x03\x02\x01\x00\x01\x00")
gravar("fuzz_mascara", "mac", texto_provedor(b"XX:XX:XX:XX:XX:XX") + texto_provedor(b"0a1b2c3d4e5f")
       + b"\x02\x01\x03\x00\x01\x00")
gravar("fuzz_mascara", "hora", texto_provedor("$#:## – ??".encode("utf-8")) + b"1a2:34"
       + b"\x00\x01\x00")
gravar("fuzz_propriedades", "linhas", texto_provedor(b"Alterar IP?") + texto_provedor(b"IP Novo")
       + texto_provedor(b"10.1.2.3") + texto_provedor(b"Operadora") + texto_provedor(b"Vivo|Claro|Tim|")
       + b"\x07\x01\x03\x02\x04\x02\x01\x01")
gravar("fuzz_propriedades", "numeros", texto_provedor(b"RTU") + texto_provedor(b"  -2147483649")
       + texto_provedor(b"Tempo") + texto_provedor(b"+4294967296") + b"\x02\x00\x02\x00\x03")

# ---- fuzz_parametros: the model is the last byte; edits are read backwards from it
for modelo in (1, 5, 16, 19, 21, 23, 25, 30):
    gravar("fuzz_parametros", "modelo%02d" % modelo, texto_provedor(b"1") + bytes([modelo]))
# Model 24 with the blank entry picked in "Velocidade".
gravar("fuzz_parametros", "velocidade_vazia", b"\x60\x5d\x17\x60")

# ---- fuzz_respostas_equipamento: routine, model, then the device's reply
r = "fuzz_respostas_equipamento"
bloco70 = (bytes([10, 1, 2, 3, 255, 255, 255, 0, 10, 1, 2, 254, 10, 0, 0, 9, 3, 4, 6, 0x21])
           + bytes(44) + bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55]))
textos60 = b"".join(s.ljust(20, b"\x00") for s in (b"10.1.2.3", b"255.255.255.0", b"10.1.2.254"))
gravar(r, "familia1", b"\x00\x00" + textos60)
# Control bytes show as "\xNN", four characters for one byte of the slot.
controles = b"".join(s.ljust(20, b"\x00") for s in (b"\x01\x02\r\n10.1.2.3\x7f\x85",
                                                       b"255.255.255.0", b"10.1.2.254"))
gravar(r, "familia1_controles", b"\x00\x00" + controles)
gravar("fuzz_eco_texto", "controles", controles)
gravar(r, "familia6", b"\x01\x00" + bloco70)
gravar(r, "familia6_outro_ip", b"\x01\x00" + bytes([9, 9, 9, 9]) + bloco70[4:])
gravar(r, "familia9", b"\x02\x00" + bloco70)
gravar(r, "familia15", b"\x03\x00" + bloco70)
for codigo, nome in ((0x21, "ion"), (0x55, "tx940"), (0x33, "rx"), (0xAA, "modbus"), (0xFF, "pc")):
    gravar(r, "ler_gateway_" + nome, b"\x04\x00" + bloco70[:19] + bytes([codigo]) + bloco70[20:])
etiquetas = (b"\x10\x02\x01Modelo: TVX3300\x07\xe9\r\nIP: 10.0.0.5 \r\nMask:255.255.255.0\r\n"
             b"Gateway: 10.0.0.1\r\n")
gravar(r, "texto_etiquetado", b"\x05\x01" + etiquetas.ljust(280, b"\x00"))
gravar(r, "texto_sem_gateway", b"\x05\x04" + b"\x10\x02\x01IP: 10.0.0.5 \r\nMask:255.255.255.0\r\n")
mac_id = (b"MAC=" + bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55]) + bytes(10) + b"ID=ID-0001".ljust(22, b"\x00")
          + b"S=5511999990000")
gravar(r, "passo2", b"\x06\x00" + mac_id.ljust(60, b"\x00"))
gravar(r, "passo16", b"\x07\x00" + b"MAC=" + bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55]))
gravar(r, "passo16_cabecalho", b"\x07\x00" + b"XAC=" + bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55]))

# ---- fuzz_registros_medicao: a Modbus TCP reply as it lands in the receive buffer
def modbus_tcp(funcao, dados):
    return struct.pack(">HHHBB", 7, 0, 2 + len(dados), 1, funcao) + dados


g = "fuzz_registros_medicao"
programacao = struct.pack(">HH", 0xA5F0, 0x0003) + bytes([192, 168, 0, 101])
gravar(g, "programacao", modbus_tcp(3, bytes([8]) + programacao))
medicoes = b"".join(struct.pack(">HH", v & 0xFFFF, v >> 16)
                    for v in (struct.unpack("<I", struct.pack("<f", f))[0]
                              for f in (1.5, -2.25, 220.0, 0.001, 3.4e38, float("nan"), float("-inf"))))
gravar(g, "medicoes", modbus_tcp(3, bytes([28]) + medicoes))
gravar(g, "contagem_curta", modbus_tcp(3, bytes([4]) + programacao))
gravar(g, "excecao", modbus_tcp(0x83, bytes([2])))
gravar(g, "cortada", modbus_tcp(3, bytes([28]) + medicoes)[:20])
gravar(g, "escrita", modbus_tcp(0x10, struct.pack(">HH", 1282, 1)))


# ---- fuzz_<decoder>: the decoder's context, then the reply as it arrived
simulador = os.environ.get("TVX_RESPOSTAS_DO_SIMULADOR",
                           os.path.join(AQUI, "..", "..", "build", "tests", "respostas_do_simulador"))
if os.access(simulador, os.X_OK):
    saida = subprocess.run([simulador], check=True, capture_output=True, text=True).stdout
    vistas = set()
    for linha in saida.splitlines():
        decodificador, nome, hexa = linha.split()
        dados = bytes.fromhex(hexa)
        if (decodificador, dados) not in vistas:
            vistas.add((decodificador, dados))
            gravar("fuzz_" + decodificador, nome, dados)
else:
    print("gerar_sementes.py: no %s; the simulator's replies are left as they are" % simulador,
          file=sys.stderr)
