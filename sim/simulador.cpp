#include "sim/simulador.h"

#include <atomic>
#include <condition_variable>
#include <deque>

#include "sim/dispositivo.h"
#include "sim/falhas.h"
#include "sim/servidor.h"

namespace tvx::sim {

namespace {

// The log keeps the latest exchanges only: a simulator left running for a
// day must not grow without bound.
constexpr size_t kMaximoTrocas = 4096;

}  // namespace

struct Simulador::Impl {
    explicit Impl(uint32_t m) : modelo(m), dispositivo(m), estado(EstadoInicial(m)) {}

    Envio Tratar(const Pedido& pedido, Meio meio);
    void Concluir();
    Tratador Atendente();
    void Registrar(Troca troca, std::vector<Troca>& novas);

    const uint32_t modelo;
    const Dispositivo dispositivo;

    mutable std::mutex mutex;
    std::condition_variable mudou;
    EstadoEquipamento estado;
    FalhaAtiva falha;
    std::deque<Troca> trocas;
    size_t pedidos = 0;
    std::function<void(const Troca&)> observador;
    std::atomic<unsigned> reinicios{0};

    std::unique_ptr<ServidorTcp> tcp;
    std::unique_ptr<ServidorSerial> serial;
};

void Simulador::Impl::Registrar(Troca troca, std::vector<Troca>& novas) {
    trocas.push_back(troca);
    if (trocas.size() > kMaximoTrocas) {
        trocas.pop_front();
    }
    novas.push_back(std::move(troca));
}

Envio Simulador::Impl::Tratar(const Pedido& pedido, Meio meio) {
    std::vector<Troca> novas;
    std::function<void(const Troca&)> avisar;
    Envio envio;
    {
        std::lock_guard<std::mutex> trava(mutex);
        Falha efetiva = Falha::Nenhuma;
        if (FalhaAlcanca(falha, pedido)) {
            efetiva = falha.falha;
            if (falha.alvo.ocorrencias > 0 && --falha.alvo.ocorrencias == 0) {
                falha = FalhaAtiva{};
            }
        }
        const Resposta resposta = dispositivo.Atender(
            pedido, meio, estado, FalhaDoEquipamento(efetiva) ? efetiva : Falha::Nenhuma);
        envio = AplicarFalhaTransporte(efetiva, resposta, meio);
        if (envio.aplicarEstado) {
            estado = resposta.estado;
        }
        std::string entendido = resposta.entendido;
        if (!pedido.defeito.empty() && pedido.tipo != TipoPedido::Invalido &&
            entendido.find(pedido.defeito) == std::string::npos) {
            entendido += " [" + pedido.defeito + "]";
        }
        Registrar(Troca{true, pedido.bruto, entendido}, novas);
        if (pedido.tipo != TipoPedido::Invalido) {
            std::string descricao = resposta.descricao;
            if (!envio.nota.empty()) {
                descricao += " [" + envio.nota + "]";
                if (!envio.aplicarEstado) {
                    descricao += " [not applied]";
                }
            }
            if (resposta.reinicia && meio == Meio::Tcp) {
                descricao += " [connection closed]";
            }
            Registrar(Troca{false, envio.bytes, descricao}, novas);
        }
        avisar = observador;
    }
    if (avisar) {
        for (const Troca& t : novas) {
            avisar(t);
        }
    }
    return envio;
}

void Simulador::Impl::Concluir() {
    {
        std::lock_guard<std::mutex> trava(mutex);
        ++pedidos;
    }
    mudou.notify_all();
}

Tratador Simulador::Impl::Atendente() {
    return Tratador{[this](const Pedido& p, Meio m) { return Tratar(p, m); },
                    [this] { Concluir(); }};
}

Simulador::Simulador(uint32_t modelo) : impl_(std::make_unique<Impl>(modelo)) {}

Simulador::~Simulador() {
    Parar();
}

bool Simulador::IniciarTcp(const std::string& endereco, uint16_t porta) {
    if (impl_->tcp) {
        return false;
    }
    auto servidor =
        std::make_unique<ServidorTcp>(impl_->modelo, impl_->Atendente(), impl_->reinicios);
    if (!servidor->Iniciar(endereco, porta ? porta : PortaDoModelo(impl_->modelo))) {
        return false;
    }
    impl_->tcp = std::move(servidor);
    return true;
}

uint16_t Simulador::PortaTcp() const {
    return impl_->tcp ? impl_->tcp->Porta() : 0;
}

std::string Simulador::IniciarSerial() {
    if (impl_->serial) {
        return "";
    }
    auto servidor = std::make_unique<ServidorSerial>(impl_->modelo, impl_->Atendente());
    std::string caminho = servidor->Iniciar();
    if (caminho.empty()) {
        return "";
    }
    impl_->serial = std::move(servidor);
    return caminho;
}

std::string Simulador::CaminhoSerial() const {
    return impl_->serial ? impl_->serial->Caminho() : std::string();
}

void Simulador::Parar() {
    if (impl_->tcp) {
        impl_->tcp->Parar();
        impl_->tcp.reset();
    }
    if (impl_->serial) {
        impl_->serial->Parar();
        impl_->serial.reset();
    }
}

void Simulador::DefinirFalha(Falha falha, AlvoFalha alvo) {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    impl_->falha = FalhaAtiva{falha, alvo};
}

void Simulador::DefinirEstado(const EstadoEquipamento& estado) {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    impl_->estado = estado;
}

EstadoEquipamento Simulador::Estado() const {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    return impl_->estado;
}

std::vector<Troca> Simulador::Trocas() const {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    return {impl_->trocas.begin(), impl_->trocas.end()};
}

bool Simulador::AguardarPedidos(size_t n, std::chrono::milliseconds espera) {
    std::unique_lock<std::mutex> trava(impl_->mutex);
    return impl_->mudou.wait_for(trava, espera, [&] { return impl_->pedidos >= n; });
}

void Simulador::AoTrocar(std::function<void(const Troca&)> observador) {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    impl_->observador = std::move(observador);
}

void Simulador::Reiniciar() {
    {
        std::lock_guard<std::mutex> trava(impl_->mutex);
        EstadoEquipamento& e = impl_->estado;
        if (e.pendente) {
            e.ip = (*e.pendente)[0];
            e.mascara = (*e.pendente)[1];
            e.gateway = (*e.pendente)[2];
            e.pendente.reset();
        }
        ++e.resets;
    }
    ++impl_->reinicios;
}

size_t Simulador::Pedidos() const {
    std::lock_guard<std::mutex> trava(impl_->mutex);
    return impl_->pedidos;
}

}  // namespace tvx::sim
