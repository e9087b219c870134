#include "players/DemoLibrary.h"

namespace players {

Library demoLibrary()
{
    Library lib;
    lib.playlistName = "Zintara Demo";
    lib.songRepeat = SongRepeat::All;
    lib.tracks = {
        {"Lanterns on the Slipway", "Marrow & Vale", "Tidewater Hours", 1, 10, 252.0, 80},
        {"Kettle Song", "Juniper Oduya", "Small Weather", 3, 9, 175.0, 60},
        {"Paper Compass", "The Quiet Cartographers", "Maps for Nobody", 2, 11, 201.0, 100},
        {"Salt in the Clockwork", "Marrow & Vale", "Tidewater Hours", 4, 10, 218.0, 40},
        {"Northbound at Dusk", "Juniper Oduya", "Small Weather", 7, 9, 307.0, 0},
        {"Index of Lost Roads", "The Quiet Cartographers", "Maps for Nobody", 11, 11, 286.0, 20},
    };
    return lib;
}

} // namespace players
