#include "tools/bench_db/bench_words.h"

namespace bench::blocks {

// First names: the first twenty are men's, the last twenty women's.
const WordList kFirstNames{
    "FIRST_NAMES",
    {"JOSÉ",      "JUAN",     "LUIS",       "CARLOS",   "RAMÓN",  "MIGUEL", "PEDRO",  "RAFAEL",
     "FRANCISCO", "MANUEL",   "JESÚS",      "ÁNGEL",    "FÉLIX",  "ANDRÉS", "JULIO",  "VÍCTOR",
     "HÉCTOR",    "NICOLÁS",  "TOMÁS",      "EFRAÍN",   "MARÍA",  "ANA",    "ROSA",   "CARMEN",
     "JULIA",     "MERCEDES", "ALTAGRACIA", "JOSEFINA", "LUCÍA",  "INÉS",   "RAQUEL", "MARTHA",
     "YOLANDA",   "DOLORES",  "SONIA",      "BEATRIZ",  "MÓNICA", "ÁNGELA", "BELKIS", "YESENIA"}};

const WordList kSurnames{
    "SURNAMES",
    {"PÉREZ",         "RODRÍGUEZ", "GÓMEZ",       "MARTÍNEZ",  "GARCÍA",  "FERNÁNDEZ", "LÓPEZ",
     "DÍAZ",          "SÁNCHEZ",   "RAMÍREZ",     "NÚÑEZ",     "PEÑA",    "JIMÉNEZ",   "HERNÁNDEZ",
     "REYES",         "CRUZ",      "TAVÁREZ",     "ROSARIO",   "SANTANA", "MEDINA",    "CASTILLO",
     "GUZMÁN",        "ABREU",     "BATISTA",     "VÁSQUEZ",   "MÉNDEZ",  "FRÍAS",     "ALCÁNTARA",
     "DE LA CRUZ",    "MATOS",     "ENCARNACIÓN", "CONTRERAS", "VALDEZ",  "POLANCO",   "ORTIZ",
     "MORILLO",       "FÉLIZ",     "BELTRÉ",      "MERCEDES",  "ACOSTA",  "PAULINO",   "CABRERA",
     "DE LOS SANTOS", "TEJADA",    "OGANDO",      "ESPINAL",   "CORDERO", "SOTO",      "BÁEZ",
     "MONTERO"}};

const WordList kStreets{"STREETS",
                        {"DUARTE",
                         "SÁNCHEZ",
                         "MELLA",
                         "LUPERÓN",
                         "INDEPENDENCIA",
                         "27 DE FEBRERO",
                         "JOHN F. KENNEDY",
                         "MÁXIMO GÓMEZ",
                         "ABRAHAM LINCOLN",
                         "WINSTON CHURCHILL",
                         "TIRADENTES",
                         "BOLÍVAR",
                         "MÉXICO",
                         "CENTRAL",
                         "LAS AMÉRICAS",
                         "SAN VICENTE DE PAÚL",
                         "CHARLES DE GAULLE",
                         "SARASOTA",
                         "NÚÑEZ DE CÁCERES",
                         "RÓMULO BETANCOURT",
                         "HERMANAS MIRABAL",
                         "ESTRELLA SADHALÁ",
                         "LOS PRÓCERES",
                         "GREGORIO LUPERÓN",
                         "ESPAÑA",
                         "VENEZUELA",
                         "ORTEGA Y GASSET",
                         "PEDRO LIVIO CEDEÑO",
                         "SAN MARTÍN",
                         "LOPE DE VEGA"}};

const WordList kSectors{
    "SECTORS",
    {"LOS MINA",     "VILLA MELLA",    "GAZCUE",         "NACO",           "PIANTINI",
     "LOS PRADOS",   "CRISTO REY",     "VILLA CONSUELO", "ENSANCHE OZAMA", "LOS ALCARRIZOS",
     "HERRERA",      "VILLA FARO",     "ARROYO HONDO",   "BELLA VISTA",    "MIRADOR NORTE",
     "LOS JARDINES", "EL MILLÓN",      "VILLA JUANA",    "CAPOTILLO",      "ENSANCHE LUPERÓN",
     "SAN CARLOS",   "CIUDAD NUEVA",   "LA JULIA",       "EL CACIQUE",     "LOS RÍOS",
     "VILLA DUARTE", "SABANA PERDIDA", "EL ENSUEÑO",     "LOS PINOS",      "CERROS DE GURABO"}};

// Cities and their provinces, index for index.
const WordList kCities{
    "CITIES",
    {"SANTO DOMINGO", "SANTIAGO", "LA ROMANA", "SAN PEDRO DE MACORÍS", "SAN CRISTÓBAL", "LA VEGA",
     "PUERTO PLATA", "SAN FRANCISCO DE MACORÍS", "HIGÜEY", "MOCA", "BANÍ", "AZUA", "BONAO",
     "BARAHONA", "NAGUA", "MAO", "SAMANÁ"}};
const WordList kProvinces{
    "PROVINCES",
    {"DISTRITO NACIONAL", "SANTIAGO", "LA ROMANA", "SAN PEDRO DE MACORÍS", "SAN CRISTÓBAL",
     "LA VEGA", "PUERTO PLATA", "DUARTE", "LA ALTAGRACIA", "ESPAILLAT", "PERAVIA", "AZUA",
     "MONSEÑOR NOUEL", "BARAHONA", "MARÍA TRINIDAD SÁNCHEZ", "VALVERDE", "SAMANÁ"}};

const WordList kOccupations{
    "OCCUPATIONS", {"PROFESOR",     "ENFERMERA", "CONTADOR",      "SECRETARIA",      "CHOFER",
                    "MENSAJERO",    "CAJERO",    "ADMINISTRADOR", "INGENIERO CIVIL", "MÉDICO",
                    "TÉCNICO",      "ANALISTA",  "VENDEDOR",      "SUPERVISOR",      "CONSERJE",
                    "SEGURIDAD",    "ABOGADO",   "AUXILIAR",      "DIGITADOR",       "GERENTE",
                    "ELECTRICISTA", "MECÁNICO",  "RECEPCIONISTA", "BIBLIOTECARIO",   "ORIENTADOR"}};

const WordList kStores{"STORES",
                       {"SUPERMERCADO NACIONAL",
                        "LA SIRENA",
                        "FERRETERÍA OCHOA",
                        "PLAZA LAMA",
                        "CASA CUESTA",
                        "JUMBO",
                        "SUPERMERCADO BRAVO",
                        "TIENDAS CORRIPIO",
                        "MUEBLES OMAR",
                        "LA CURACAO",
                        "FARMACIA CAROL",
                        "SUPERMERCADOS OLÉ",
                        "IBERIA",
                        "EL CASTILLO DEL MUEBLE",
                        "COOPERATIVA LA ALTAGRACIA",
                        "PLAZA NACO",
                        "FERRETERÍA AMERICANA",
                        "ÓPTICA OVIEDO",
                        "DISTRIBUIDORA CORRIPIO",
                        "TIENDA EL ENCANTO"}};

const WordList kBanks{"BANKS",
                      {"BANCO POPULAR", "BANRESERVAS", "BANCO BHD", "SCOTIABANK",
                       "ASOCIACIÓN POPULAR", "BANCO ADEMI"}};

const WordList kCarMakes{"CAR_MAKES",
                         {"TOYOTA", "HONDA", "HYUNDAI", "KIA", "NISSAN", "MITSUBISHI", "SUZUKI"}};

// Employer names: a kind and a place; 10 and 21 are coprime, so the first
// 210 employers all get different names.
const WordList kEmployerKinds{"KINDS",
                              {"COLEGIO", "HOSPITAL", "FARMACIA", "CONSTRUCTORA", "DISTRIBUIDORA",
                               "CLÍNICA", "LICEO", "FERRETERÍA", "SUPERMERCADO", "INDUSTRIAS"}};
const WordList kEmployerPlaces{
    "PLACES",
    {"SAN JOSÉ",     "DEL CARIBE", "LA ESPAÑOLA",   "SANTA ANA",      "DUARTE",      "DEL CIBAO",
     "LAS AMÉRICAS", "SAN MARTÍN", "LA ALTAGRACIA", "NUESTRA SEÑORA", "DEL ESTE",    "QUISQUEYA",
     "DEL NORTE",    "SAN RAFAEL", "LA FE",         "LOS ÁNGELES",    "EL PROGRESO", "SANTA CRUZ",
     "BELLA VISTA",  "CENTRAL",    "DEL SUR"}};

// In dialect 1 sums and products of integers come back as doubles, which
// would print with decimals inside a text; these keep them integers.
std::string Int(const std::string& expression) {
    return "CAST(" + expression + " AS INTEGER)";
}
std::string Mod(const std::string& hash, int n) {
    return "MOD(" + hash + ", " + std::to_string(n) + ")";
}

std::string Phone(const std::string& h) {
    return "DECODE(" + Mod(h, 3) + ", 0, '809', 1, '829', '849') || '-' || " +
           Int(Mod(h, 900) + " + 100") + " || '-' || LPAD(" + Int(Mod(h, 9973)) + ", 4, '0')";
}

std::string PersonName(const std::string& first, const std::string& last) {
    return kFirstNames.Pick(first) + " || ' ' || " + kSurnames.Pick(last);
}

std::string Address(const std::string& h) {
    return "'C/ ' || " + kStreets.Pick(h) + " || ' No. ' || " + Int(Mod(h, 251) + " + 1") +
           " || ', ' || " + kSectors.At(Mod(h, 29));
}

std::string BusinessAddress(const std::string& h) {
    return "'AV. ' || " + kStreets.Pick(h) + " || ' No. ' || " + Int(Mod(h, 397) + " + 1");
}

std::string Cedula(const std::string& h) {
    return "LPAD(" + Int(Mod(h, 120) + " + 1") + ", 3, '0') || '-' || LPAD(" +
           Int(Mod(h, 9999991)) + ", 7, '0') || '-' || " + Int(Mod(h, 10));
}

std::string Money(const std::string& expression) {
    return "ROUND(" + expression + ", 2)";
}

// The hashes of one row: H1 from the row number, each next one from the
// one before. The Park-Miller steps alone are linear in the row number, and
// picks from consecutive rows would fall on a coarse lattice (a few
// thousand distinct members among 200,000 loans); the product of two
// residues breaks the linearity. All products stay below 2^53, exact in
// the doubles that dialect 1 computes them in.
std::string HashChain(const std::string& seed, int count) {
    std::string text = "    H1 = MOD(" + seed +
                       " * 7919 + 104729, 2147483647);\n"
                       "    H1 = MOD(MOD(:H1, 46337) * MOD(:H1, 46349) + :H1, 2147483647);\n"
                       "    H1 = MOD(:H1 * 48271, 2147483647);\n";
    for (int i = 2; i <= count; ++i) {
        text += "    H" + std::to_string(i) + " = MOD(:H" + std::to_string(i - 1) +
                " * 48271, 2147483647);\n";
    }
    return text;
}

std::string HashDeclarations(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "  DECLARE H" + std::to_string(i) + " INTEGER;\n";
    return text;
}

std::string Declarations(std::initializer_list<const WordList*> lists) {
    std::string text;
    for (const WordList* list : lists) text += list->Declaration();
    return text;
}

}  // namespace bench::blocks
