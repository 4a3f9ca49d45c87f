#include "sim/respostas.h"

#include "transport/codec.h"

namespace tvx::sim {

namespace {

// The frame closes with DLE ETX and the CRC of everything before, high byte
// first; over TCP two bytes with the frame's length go in front.
Forma Fechar(Meio meio, std::vector<uint8_t> quadro, int posicaoAck) {
    quadro.push_back(kDle);
    quadro.push_back(kEtx);
    uint16_t crc = 0;
    Crc16Cms(crc, quadro.data(), quadro.size());
    quadro.push_back(static_cast<uint8_t>(crc >> 8));
    quadro.push_back(static_cast<uint8_t>(crc & 0xFF));
    Forma forma;
    if (meio == Meio::Tcp) {
        const size_t tamanho = quadro.size();
        quadro.insert(quadro.begin(),
                      {static_cast<uint8_t>(tamanho >> 8), static_cast<uint8_t>(tamanho & 0xFF)});
        if (posicaoAck >= 0) {
            posicaoAck += 2;
        }
    }
    forma.bytes = std::move(quadro);
    forma.posicaoAck = posicaoAck;
    return forma;
}

}  // namespace

const char* TextoMotivo(Motivo motivo) {
    switch (motivo) {
        case Motivo::Nenhum:
            return "accepted";
        case Motivo::Quadro:
            return "frame check failed";
        case Motivo::ComandoDesconhecido:
            return "command not known to this model";
        case Motivo::Tamanho:
            return "wrong payload length";
        case Motivo::Etiqueta:
            return "wrong device tag";
        case Motivo::ValorInvalido:
            return "invalid value";
        case Motivo::Recusado:
            return "refused";
    }
    return "?";
}

Forma RespostaAckDle(Meio meio, bool curta, uint8_t rtu, uint8_t comando, uint8_t subcomando,
                     uint8_t ack, Motivo motivo) {
    std::vector<uint8_t> quadro{kDle, kStx, rtu};
    int posicao;
    if (curta) {
        posicao = 3;
        quadro.insert(quadro.end(), {ack, comando, subcomando});
    } else {
        posicao = 5;
        const auto codigo = static_cast<uint16_t>(motivo);
        quadro.insert(quadro.end(), {comando, subcomando, ack, static_cast<uint8_t>(codigo >> 8),
                                     static_cast<uint8_t>(codigo & 0xFF)});
    }
    return Fechar(meio, std::move(quadro), posicao);
}

Forma RespostaAckSimples(uint8_t comando, uint8_t subcomando, uint8_t ack) {
    return Forma{{ack, comando, subcomando}, 0};
}

Forma RespostaTextoDle(Meio meio, uint8_t rtu, const std::string& texto) {
    std::vector<uint8_t> quadro{kDle, kStx, rtu};
    quadro.insert(quadro.end(), texto.begin(), texto.end());
    quadro.push_back(0);
    return Fechar(meio, std::move(quadro), -1);
}

Forma RespostaTextoSimples(const std::string& texto) {
    Forma forma;
    forma.bytes.assign(texto.begin(), texto.end());
    forma.bytes.push_back(0);
    return forma;
}

std::vector<uint8_t> EnvelopeModbus(Meio meio, const Pedido& pedido,
                                    const std::vector<uint8_t>& pdu) {
    std::vector<uint8_t> bytes = pdu;
    if (meio == Meio::Tcp) {
        const size_t comprimento = pdu.size() + 1;
        bytes.insert(bytes.begin(), {static_cast<uint8_t>(pedido.transacao >> 8),
                                     static_cast<uint8_t>(pedido.transacao & 0xFF), 0, 0,
                                     static_cast<uint8_t>(comprimento >> 8),
                                     static_cast<uint8_t>(comprimento & 0xFF), pedido.unidade});
        return bytes;
    }
    bytes.insert(bytes.begin(), pedido.unidade);
    uint16_t crc = 0;
    Crc16Modbus(crc, bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

}  // namespace tvx::sim
