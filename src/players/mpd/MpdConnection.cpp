#include "players/mpd/MpdConnection.h"

#include <mpd/client.h>

namespace players {

MpdConnection::MpdConnection(MpdAddress address, unsigned timeoutMs)
    : m_address(std::move(address))
    , m_timeoutMs(timeoutMs)
{
}

MpdConnection::~MpdConnection()
{
    close();
}

void MpdConnection::close()
{
    if (m_connection)
        mpd_connection_free(m_connection);
    m_connection = nullptr;
}

mpd_connection* MpdConnection::open()
{
    if (m_gaveUp)
        return nullptr;
    if (m_connection) {
        m_reused = true;
        return m_connection;
    }
    m_reused = false;
    const char* host = m_address.host.empty() ? nullptr : m_address.host.c_str();
    ++m_roundTrips; // connecting waits for the server's greeting
    m_connection = mpd_connection_new(host, m_address.port, m_timeoutMs);
    if (!m_connection)
        return nullptr;
    if (mpd_connection_get_error(m_connection) != MPD_ERROR_SUCCESS) {
        if (mpd_connection_get_error(m_connection) == MPD_ERROR_TIMEOUT)
            m_gaveUp = true;
        close();
        return nullptr;
    }
    // The library's own default timeout would apply to later calls.
    mpd_connection_set_timeout(m_connection, m_timeoutMs);

    std::string password = m_address.password;
    if (password.empty() && !host) {
        // MPD_HOST may carry "password@host", as mpc reads it.
        if (mpd_settings* settings = mpd_settings_new(nullptr, m_address.port, 0, nullptr, nullptr)) {
            if (const char* p = mpd_settings_get_password(settings))
                password = p;
            mpd_settings_free(settings);
        }
    }
    if (!password.empty()) {
        ++m_roundTrips;
        if (!mpd_run_password(m_connection, password.c_str())) {
            if (mpd_connection_get_error(m_connection) == MPD_ERROR_TIMEOUT)
                m_gaveUp = true;
            close();
            return nullptr;
        }
    }
    return m_connection;
}

MpdConnection::Outcome MpdConnection::finish(std::string* message)
{
    if (!m_connection)
        return m_gaveUp ? Outcome::TimedOut : Outcome::Dropped;
    const mpd_error error = mpd_connection_get_error(m_connection);
    if (error == MPD_ERROR_SUCCESS)
        return Outcome::Ok;
    if (message) {
        const char* text = mpd_connection_get_error_message(m_connection);
        *message = text ? text : "";
    }
    if (error == MPD_ERROR_SERVER) {
        m_serverError = mpd_connection_get_server_error(m_connection);
        m_errorLocation = mpd_connection_get_server_error_location(m_connection);
        if (mpd_connection_clear_error(m_connection))
            return Outcome::Refused;
    }
    close();
    if (error == MPD_ERROR_TIMEOUT) {
        m_gaveUp = true;
        return Outcome::TimedOut;
    }
    return Outcome::Dropped;
}

} // namespace players
