#include "tools/bench_db/bench_blocks.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tools/raw_client/latin1.h"

namespace bench {
namespace {

// A word list packed at a fixed width into one block variable: picking the
// i-th word is a SUBSTRING, far cheaper per row than a CASE of fifty
// branches or a sub-function call.
struct WordList {
    const char* variable;
    std::vector<const char*> words;  // UTF-8 here, ISO8859_1 in the block

    int Width() const {
        size_t width = 1;
        for (const char* word : words) width = std::max(width, demo::Latin1(word).size());
        return static_cast<int>(width);
    }
    int Count() const { return static_cast<int>(words.size()); }

    std::string Declaration() const {
        const size_t width = static_cast<size_t>(Width());
        std::string packed;
        // Padded by Latin-1 length; the whole block is converted once at the end.
        for (const char* word : words) {
            const std::string utf8 = word;
            if (utf8.find('\'') != std::string::npos) throw std::logic_error("quote in word list");
            packed += utf8 + std::string(width - demo::Latin1(utf8).size(), ' ');
        }
        return "  DECLARE " + std::string(variable) + " VARCHAR(" +
               std::to_string(width * words.size()) + ") = '" + packed + "';\n";
    }
    // The word at MOD(hash, count).
    std::string Pick(const std::string& hash) const {
        return At("MOD(" + hash + ", " + std::to_string(Count()) + ")");
    }
    // The word at a 0-based index expression.
    std::string At(const std::string& index) const {
        const std::string width = std::to_string(Width());
        return "TRIM(SUBSTRING(:" + std::string(variable) + " FROM (" + index + ") * " + width +
               " + 1 FOR " + width + "))";
    }
};

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

struct Column {
    const char* name;
    std::string value;
};

// Every CLIENTES column in table order with its value. Optional parts of a
// member file (second job, car, bank accounts, guarantors) are present for
// part of the members only, as in a real file.
std::vector<Column> MemberColumns() {
    const std::string second_job = "MOD(:H5, 4) = 0";
    const std::string has_car = "MOD(:H12, 5) < 2";
    const std::string financed = has_car + " AND MOD(:H12, 2) = 1";
    const std::string rents = "MOD(:H10, 3) <> 0";
    const std::string country = "'REPÚBLICA DOMINICANA'";
    auto optional = [](const std::string& when, const std::string& value) {
        return "IIF(" + when + ", " + value + ", NULL)";
    };
    return {
        {"CLT_CODIGO", ":CODE"},
        {"CLT_APELLIDOS", ":LN"},
        {"CLT_NOMBRES", ":FN"},
        {"CLT_DIRECCION", ":ADDR"},
        {"CLT_SECTOR", ":SECTOR"},
        {"CLT_CIUDAD", ":CITY"},
        {"CLT_FECHA", ":JOINED"},
        {"CLT_TELRES", ":TEL"},
        {"CLT_TABAJO1", ":EMPNAME"},
        {"CLT_CARGO1", ":JOB"},
        {"CLT_DIRECCION1", ":EMPADDR"},
        {"CLT_SALARIO1", ":SAL"},
        {"CLT_TRABAJO2", optional(second_job, kEmployerKinds.Pick(":H6") + " || ' ' || " +
                                                  kEmployerPlaces.Pick(":H6"))},
        {"CLT_CARGO2", optional(second_job, kOccupations.Pick(":H6"))},
        {"CLT_DIRECCION2", optional(second_job, BusinessAddress(":H6"))},
        {"CLT_SALARIO2", optional(second_job, Money(":SAL / 3"))},
        {"CLT_ESTADOCIVIL", "SUBSTRING('SCCUVD' FROM " + Mod(":H6", 6) + " + 1 FOR 1)"},
        {"CLT_DEPENDIENTES", Mod(":H7", 6)},
        {"CLT_CONYUGUE", optional("MOD(:H6, 6) IN (1, 2, 3)", PersonName(":H7", ":H8"))},
        {"CLT_PARIENTE1", kFirstNames.Pick(":H8") + " || ' ' || " + kSurnames.Pick(":H2")},
        {"CLT_PARIENTE2", kFirstNames.Pick(":H9") + " || ' ' || " + kSurnames.Pick(":H2")},
        {"CLT_REFERENCIA1", PersonName(":H9", ":H10")},
        {"CLT_REFERENCIA2", PersonName(":H10", ":H11")},
        {"CLT_BEEPER", optional("MOD(:H10, 20) = 0", Phone(":H10"))},
        {"CLT_CELULAR", ":CEL"},
        {"CLT_VIVIENDA", "IIF(" + rents + ", 'A', 'P')"},
        {"CLT_PAGOMENSUAL", "IIF(" + rents + ", 3500 + " + Mod(":H10", 250) + " * 100, 0)"},
        {"CLT_PROPIETARIO", optional(rents, PersonName(":H11", ":H12"))},
        {"CLT_TELPROPIETARIO", optional(rents, Phone(":H11"))},
        {"CLT_CUENTABANCO1", "'100-' || LPAD(:M, 8, '0') || '-' || " + Int(Mod(":H11", 10))},
        {"CLT_CUENTABANCO2",
         optional("MOD(:H11, 3) = 0",
                  "'240-' || LPAD(" + Int(Mod(":H11", 99999989)) + ", 8, '0')")},
        {"CLT_CUENTABANCO3",
         optional("MOD(:H11, 7) = 0",
                  "'960-' || LPAD(" + Int(Mod(":H12", 99999989)) + ", 8, '0')")},
        {"CLT_AUTOMOVIL", "IIF(" + has_car + ", 'S', 'N')"},
        {"CLT_MARCA", optional(has_car, kCarMakes.Pick(":H12"))},
        {"CLT_ANO", optional(has_car, "1998 + " + Mod(":H12", 26))},
        {"CLT_TIPOCOMPRA",
         optional(has_car, "TRIM(IIF(MOD(:H12, 2) = 1, 'FINANCIADO', 'CONTADO'))")},
        {"CLT_FINANCIADOR", optional(financed, kBanks.Pick(":H9"))},
        {"CLT_BALANCE", ":BAL"},
        {"CLT_ESTATUS", ":STATUS"},
        {"CLT_CEDULA", ":CED"},
        {"CLT_TELPARIENTE1", Phone(":H8")},
        {"CLT_TELPARIENTE2", Phone(":H9")},
        {"CLT_TELREFERENCIA1", Phone(":H10")},
        {"CLT_TELREFERENCIA2", Phone(":H7")},
        {"CLT_TIEMPO1", Int(Mod(":H5", 24) + " + 2") + " || ' AÑOS'"},
        {"CLT_TIEMPO2", optional(second_job, Int(Mod(":H6", 10) + " + 2") + " || ' AÑOS'")},
        {"CLT_DIRPARIENTE1", Address(":H8")},
        {"CLT_DIRPARIENTE2", Address(":H9")},
        {"CLT_DIRREFERENCIA1", Address(":H10")},
        {"CLT_DIRREFERENCIA2", Address(":H11")},
        {"CLT_TELTRABAJO1", ":EMPTEL"},
        {"CLT_TELTRABAJO2", optional(second_job, Phone(":H6"))},
        {"CLT_PROMOTOR", "1 + " + Mod(":H6", 40)},
        {"CLT_ZONA", "1 + " + Mod(":H4", 12)},
        {"CLT_REFCOMERCIALES1", kStores.Pick(":H7")},
        {"CLT_REFCOMERCIALES2", kStores.Pick(":H8")},
        {"CLT_REFCOMERCIALES3", optional("MOD(:H9, 2) = 0", kStores.Pick(":H9"))},
        {"CLT_DIRREFCOMERCIALES1", BusinessAddress(":H7")},
        {"CLT_DIRREFCOMERCIALES2", BusinessAddress(":H8")},
        {"CLT_DIRREFCOMERCIALES3", optional("MOD(:H9, 2) = 0", BusinessAddress(":H9"))},
        {"CLT_TELREFCOMERCIALES1", Phone(":H12")},
        {"CLT_TELREFCOMERCIALES2", Phone(":H3")},
        {"CLT_TELREFCOMERCIALES3", optional("MOD(:H9, 2) = 0", Phone(":H4"))},
        {"CLT_EMPRESA", ":EMPNAME"},
        {"CLT_EMPDIRECCION", ":EMPADDR"},
        {"CLT_EMPCIUDAD", optional(":EMP IS NOT NULL", kCities.Pick(":EMP"))},
        {"CLT_REFERENCIA3", PersonName(":H11", ":H7")},
        {"CLT_DIRREFERENCIA3", Address(":H12")},
        {"CLT_TELREFERENCIA3", Phone(":H11")},
        {"CLT_PARIENTE3", kFirstNames.Pick(":H12") + " || ' ' || " + kSurnames.Pick(":H3")},
        {"CLT_DIRPARIENTE3", Address(":H7")},
        {"CLT_TELPARIENTE3", Phone(":H12")},
        {"CLT_CUOTAFINANCIAMIENTO",
         "IIF(" + financed + ", 8000 + " + Mod(":H12", 200) + " * 50, 0)"},
        {"CLT_VINCULACION", "TRIM(DECODE(" + Mod(":H3", 4) +
                                ", 0, 'EMPLEADO', 1, 'SOCIO FUNDADOR', 2, 'SOCIO', 'PENSIONADO'))"},
        {"CLT_TPPERSONA", "IIF(MOD(:M, 500) = 0, 'J', 'F')"},
        {"EMPRESA", ":EMP"},
        {"CLT_CODIGO2", ":M"},
        {"BALANCE_AHORRO", ":SAV"},
        {"BALANCE_CXC", ":BAL"},
        {"DESCONTAR_AHORRO", "IIF(MOD(:H4, 10) = 0, 'N', 'S')"},
        {"CUOTA_AHORRO", ":SAVQ"},
        {"PAGOS_CXC", Mod(":H6", 48)},
        {"CLT_CUOTACXC", Money(":BAL / 24")},
        {"CLT_TIPO", "1 + " + Mod(":H3", 3)},
        {"DESCONTAR_PRESTAMO", "'S'"},
        {"DESCONTAR_INTERESPRESTAMO", "IIF(MOD(:H5, 8) = 0, 'N', 'S')"},
        {"FICHA", "'F' || LPAD(" + Int(Mod(":H2", 999999)) + ", 6, '0')"},
        {"CLT_NOMBRESYAPELLIDOS", ":FN || ' ' || :LN"},
        {"CLT_TIPONOMINA",
         "TRIM(DECODE(" + Mod(":H4", 3) + ", 0, 'QUINCENAL', 1, 'MENSUAL', 'SEMANAL'))"},
        {"SUELDO", ":SAL"},
        {"PORC_AHORRO", ":PORC"},
        {"CLT_SECUENCIA", ":M"},
        {"CLT_EMAIL", "'socio' || :CODE || '@' || TRIM(DECODE(" + Mod(":H3", 3) +
                          ", 0, 'gmail.com', 1, 'hotmail.com', 'yahoo.com'))"},
        {"BALANCE_CAPITAL", Money(":SAV / 10")},
        {"CUOTA_AHORRO_CAPITAL", Money(":SAVQ / 10")},
        {"SEGURO", "IIF(MOD(:H6, 3) = 0, 'N', 'S')"},
        {"OTROS_SERV", "IIF(MOD(:H7, 4) = 0, 'S', 'N')"},
        {"PREST_VIGENTE", "IIF(:BAL > 0, 'S', 'N')"},
        {"CARNE", "'C-' || :CODE"},
        {"PAGO_CARNET", "150"},
        {"INSCRIPCION", "500"},
        {"FOTOGRAFIA", "'/srv/coop/fotos/socios/' || :CODE || '.jpg'"},
        {"POR_DESCUENTO", "DECODE(" + Mod(":H8", 3) + ", 0, 30, 1, 35, 40)"},
        {"DESCUENTO_MAX", Money(":SAL * 0.4")},
        {"TOT_DESCUENTO", Money(":SAVQ + :BAL / 24")},
        {"CLAVE", "LPAD(" + Int(Mod(":H9", 10000)) + ", 4, '0')"},
        {"TIPOFISCAL", "'01'"},
        {"RNC", "REPLACE(:CED, '-', '')"},
        {"TIPOINSCRIPCION", "IIF(MOD(:H10, 9) = 0, 'RE', 'NU')"},
        {"GARANTECEDULA1", Cedula(":H11")},
        {"GARANTECEDULA2", optional("MOD(:H11, 2) = 0", Cedula(":H12"))},
        {"GARANTECEDULA3", optional("MOD(:H11, 5) = 0", Cedula(":H10"))},
        {"CLT_PAIS", country},
        {"CLT_EMAIL2",
         optional("MOD(:H4, 4) = 0", "'socio' || :CODE || '@empresa' || :EMP || '.com.do'")},
        {"CERTIFICADO", "'CERT-' || :CODE"},
        {"DISTRITO", "1 + " + Mod(":H4", 40)},
        {"BENEFICIARIO", PersonName(":H8", ":H3")},
        {"TELEFONO_BENEF", Phone(":H8")},
        {"CEDULA_BENEF", Cedula(":H8")},
        {"DESC_FUNERARIA", "IIF(MOD(:H9, 3) = 0, 0, 125)"},
        {"DESC_SEGURO", "IIF(MOD(:H6, 3) = 0, 0, 350 + " + Mod(":H6", 10) + " * 25)"},
        {"DESC_OTROS", "IIF(MOD(:H7, 4) = 0, 200, 0)"},
        {"SEXO", ":SEX"},
        {"BALANCE_CXCS", Money(":BAL * 0.2")},
        {"BALANCE_CXCT", Money(":BAL * 0.8")},
        {"CUOTA_CXCS", Money(":BAL * 0.2 / 24")},
        {"CUOTA_CXCT", Money(":BAL * 0.8 / 24")},
        {"CLT_FECRETIRO", optional(":STATUS <> 'A'", ":JOINED + 365 + " + Mod(":H5", 3000))},
        {"BALANCE_AHORROINF", Money(":SAV * 0.05")},
        {"CUOTA_AHORROINF", "IIF(MOD(:H7, 3) = 0, 100, 0)"},
        {"BALANCE_AHORRORET", Money(":SAV * 0.15")},
        {"CUOTA_AHORRORET", Money(":SAVQ * 0.15")},
        {"CUOTA_AHORROVIV", "IIF(MOD(:H8, 4) = 0, 500, 0)"},
        {"BALANCE_AHORROVIV", "IIF(MOD(:H8, 4) = 0, 500 * " + Mod(":H9", 60) + ", 0)"},
        {"BALANCE_DEPOSITO", "IIF(MOD(:H10, 6) = 0, 1000 * " + Mod(":H11", 300) + ", 0)"},
        {"REFERENCIA", PersonName(":H12", ":H9")},
        {"DIR_REFERENCIA", Address(":H6")},
        {"REFERENCIA2", PersonName(":H4", ":H12")},
        {"COMENTARIO",
         optional(
             "MOD(:H3, 10) = 0",
             "'Socio referido por ' || " + PersonName(":H5", ":H6") +
                 " || '. Documentos completos; actualizar la constancia de trabajo cada año.'")},
        {"PAGARBENEFICIOS", "IIF(MOD(:H4, 5) = 0, 'N', 'S')"},
        {"FECHANACIMIENTO", ":BORN"},
        {"SECTOR1", ":SECTOR"},
        {"CALLENUMERO1",
         "'C/ ' || " + kStreets.Pick(":H6") + " || ' No. ' || " + Int(Mod(":H6", 251) + " + 1")},
        {"CIUDAD1", ":CITY"},
        {"MUNICIPIO1", ":CITY"},
        {"PROVINCIA1", ":PROV"},
        {"PAIS1", country},
        {"SECTOR2", kSectors.Pick(":H9")},
        {"CALLENUMERO2",
         "'C/ ' || " + kStreets.Pick(":H9") + " || ' No. ' || " + Int(Mod(":H9", 251) + " + 1")},
        {"CIUDAD2", kCities.Pick(":H9")},
        {"MUNICIPIO2", kCities.Pick(":H9")},
        {"PROVINCIA2", kProvinces.At(Mod(":H9", 17))},
        {"PAIS2", country},
        {"OCUPACION", ":JOB"},
        {"NACIONALIDAD", "TRIM(IIF(MOD(:M, 97) = 0, 'HAITIANA', 'DOMINICANA'))"},
        {"DIR_REFERENCIA1", Address(":H10")},
        {"MUNICIPIO", ":CITY"},
        {"PROVINCIA", ":PROV"},
        {"FECHAULTMODIFICACION", "CAST('2024-06-03' AS DATE) + " + Mod(":H6", 200) + " + " +
                                     Mod(":H7", 86400) + " / 86400.0"},
        {"PAGINAWEB", optional("MOD(:M, 50) = 0", "'www.socio' || :CODE || '.com.do'")},
        {"EMPRESA_ANTERIOR", optional("MOD(:H5, 3) = 0", "1 + MOD(:H5, :EMPLOYERS)")},
        {"BALANCE_CERTIFICADOS", "IIF(MOD(:H9, 6) = 0, 50000 + " + Mod(":H9", 100) + " * 5000, 0)"},
        {"FECHA_NACIMIENTO", ":BORN"},
        {"MES_NACIMIENTO", "EXTRACT(MONTH FROM :BORN)"},
        {"CODEUDOR_NOMBRE", PersonName(":H12", ":H4")},
        {"CODEUDOR_DIRECCION", Address(":H12")},
        {"CODEUDOR_CIUDAD", kCities.Pick(":H12")},
        {"CODEUDOR_TELEFONO", Phone(":H12")},
        {"CODEUDOR_CEDULA", Cedula(":H12")},
        {"GARANTE_LUGARTRABAJO1",
         kEmployerKinds.Pick(":H11") + " || ' ' || " + kEmployerPlaces.Pick(":H11")},
        {"GARANTE_POSICION1", kOccupations.Pick(":H11")},
        {"GARANTE_SALARIO1", "20000 + " + Mod(":H11", 900) + " * 100"},
        {"GARANTE_LUGARTRABAJO2",
         optional("MOD(:H11, 2) = 0",
                  kEmployerKinds.Pick(":H12") + " || ' ' || " + kEmployerPlaces.Pick(":H12"))},
        {"GARANTE_POSICION2", optional("MOD(:H11, 2) = 0", kOccupations.Pick(":H12"))},
        {"GARANTE_SALARIO2",
         optional("MOD(:H11, 2) = 0", "18000 + " + Mod(":H12", 900) + " * 100")},
        {"GARANTE_LUGARTRABAJO3",
         optional("MOD(:H11, 5) = 0",
                  kEmployerKinds.Pick(":H10") + " || ' ' || " + kEmployerPlaces.Pick(":H10"))},
        {"GARANTE_POSICION3", optional("MOD(:H11, 5) = 0", kOccupations.Pick(":H10"))},
        {"GARANTE_SALARIO3",
         optional("MOD(:H11, 5) = 0", "15000 + " + Mod(":H10", 900) + " * 100")},
        {"CODEUDOR_LUGARTRABAJO1",
         kEmployerKinds.Pick(":H4") + " || ' ' || " + kEmployerPlaces.Pick(":H4")},
        {"CODEUDOR_POSICION1", kOccupations.Pick(":H4")},
        {"CODEUDOR_SALARIO1", "25000 + " + Mod(":H4", 900) + " * 100"},
        {"PASAPORTE",
         optional("MOD(:H10, 4) = 0", "'RD' || LPAD(" + Int(Mod(":H10", 9999991)) + ", 7, '0')")},
    };
}

std::string Declarations(std::initializer_list<const WordList*> lists) {
    std::string text;
    for (const WordList* list : lists) text += list->Declaration();
    return text;
}

}  // namespace

const char* const* MemberColumnNames(int& count) {
    static const std::vector<const char*> names = [] {
        std::vector<const char*> out;
        for (const Column& column : MemberColumns()) out.push_back(column.name);
        return out;
    }();
    count = static_cast<int>(names.size());
    return names.data();
}

// The SQL below is laid out as SQL, not as C++.
// clang-format off

std::string EmployersBlock() {
    std::string sql =
        "EXECUTE BLOCK (EMPLOYERS INTEGER = ?)\n"
        "AS\n"
        "  DECLARE I INTEGER = 1;\n" +
        HashDeclarations(2) +
        Declarations({&kEmployerKinds, &kEmployerPlaces, &kStreets, &kCities, &kFirstNames, &kSurnames}) +
        "BEGIN\n"
        "  WHILE (:I <= :EMPLOYERS) DO\n"
        "  BEGIN\n" +
        HashChain(":I", 2) +
        "    INSERT INTO EMPRESAS (CODIGO, NOMBRE, RNC, DIRECCION, TELEFONO, CONTACTO) VALUES (:I,\n"
        "      " + kEmployerKinds.At("MOD(:I - 1, 10)") + " || ' ' || " + kEmployerPlaces.At("MOD(:I - 1, 21)") +
        " || TRIM(DECODE(MOD(:I, 3), 0, ', S.R.L.', 1, ', S.A.', '')) || IIF(:I > 210, ' ' || :I, ''),\n"
        "      '1' || LPAD(" + Int(Mod(":H1", 99999989)) + ", 8, '0'),\n"
        "      " + BusinessAddress(":H1") + " || ', ' || " + kCities.Pick(":I") + ",\n"
        "      " + Phone(":H2") + ",\n"
        "      " + PersonName(":H2", ":H1") + ");\n"
        "    I = :I + 1;\n"
        "  END\n"
        "END";
    return demo::Latin1(sql);
}

std::string MembersBlock() {
    const std::vector<Column> columns = MemberColumns();
    std::string names;
    std::string values;
    for (size_t i = 0; i < columns.size(); ++i) {
        const char* separator = i == 0 ? "" : ",\n      ";
        names += separator;
        names += columns[i].name;
        values += separator;
        values += columns[i].value;
    }
    std::string sql =
        "EXECUTE BLOCK (FIRST_MEMBER INTEGER = ?, LAST_MEMBER INTEGER = ?, EMPLOYERS INTEGER = ?,\n"
        "               CODE_WIDTH INTEGER = ?)\n"
        "AS\n"
        "  DECLARE M INTEGER;\n" +
        HashDeclarations(12) +
        "  DECLARE CODE VARCHAR(10);\n"
        "  DECLARE FN VARCHAR(60);\n"
        "  DECLARE LN VARCHAR(60);\n"
        "  DECLARE SEX CHAR(1);\n"
        "  DECLARE CED VARCHAR(15);\n"
        "  DECLARE TEL VARCHAR(15);\n"
        "  DECLARE CEL VARCHAR(15);\n"
        "  DECLARE SECTOR VARCHAR(60);\n"
        "  DECLARE CITY VARCHAR(60);\n"
        "  DECLARE PROV VARCHAR(60);\n"
        "  DECLARE ADDR VARCHAR(150);\n"
        "  DECLARE EMP INTEGER;\n"
        "  DECLARE EMPNAME VARCHAR(100);\n"
        "  DECLARE EMPADDR VARCHAR(150);\n"
        "  DECLARE EMPTEL VARCHAR(15);\n"
        "  DECLARE JOB VARCHAR(60);\n"
        "  DECLARE JOINED DATE;\n"
        "  DECLARE BORN DATE;\n"
        "  DECLARE SAL DOUBLE PRECISION;\n"
        "  DECLARE BAL DOUBLE PRECISION;\n"
        "  DECLARE SAV DOUBLE PRECISION;\n"
        "  DECLARE SAVQ DOUBLE PRECISION;\n"
        "  DECLARE PORC INTEGER;\n"
        "  DECLARE STATUS CHAR(1);\n" +
        Declarations({&kFirstNames, &kSurnames, &kStreets, &kSectors, &kCities, &kProvinces, &kOccupations,
                      &kStores, &kBanks, &kCarMakes, &kEmployerKinds, &kEmployerPlaces}) +
        "BEGIN\n"
        "  M = :FIRST_MEMBER;\n"
        "  WHILE (:M <= :LAST_MEMBER) DO\n"
        "  BEGIN\n" +
        HashChain(":M", 12) +
        "    CODE = LPAD(:M, :CODE_WIDTH, '0');\n"
        "    SEX = IIF(MOD(:H1, 40) < 20, 'M', 'F');\n"
        "    FN = " + kFirstNames.At("MOD(:H1, 40)") + " || IIF(MOD(:H1, 3) = 0, ' ' || " +
                      kFirstNames.At("IIF(:SEX = 'M', 0, 20) + MOD(:H2, 20)") + ", '');\n"
        "    LN = " + kSurnames.Pick(":H2") + " || ' ' || " + kSurnames.Pick(":H3") + ";\n"
        "    CED = LPAD(" + Int(Mod(":H3", 120) + " + 1") + ", 3, '0') || '-' || LPAD(:M, 7, '0') || '-' || " +
                       Int(Mod(":H4", 10)) + ";\n"
        "    TEL = " + Phone(":H4") + ";\n"
        "    CEL = " + Phone(":H5") + ";\n"
        "    SECTOR = " + kSectors.Pick(":H5") + ";\n"
        "    CITY = " + kCities.Pick(":H5") + ";\n"
        "    PROV = " + kProvinces.At(Mod(":H5", 17)) + ";\n"
        "    ADDR = 'C/ ' || " + kStreets.Pick(":H6") + " || ' No. ' || " + Int(Mod(":H6", 251) + " + 1") +
                     " || ', ' || :SECTOR;\n"
        // A few members carry no employer code.
        "    EMP = IIF(MOD(:M, 997) = 0, NULL, 1 + MOD(:H7, :EMPLOYERS));\n"
        "    EMPNAME = NULL;\n"
        "    EMPADDR = NULL;\n"
        "    EMPTEL = NULL;\n"
        "    SELECT NOMBRE, DIRECCION, TELEFONO FROM EMPRESAS WHERE CODIGO = :EMP\n"
        "      INTO :EMPNAME, :EMPADDR, :EMPTEL;\n"
        "    JOB = " + kOccupations.Pick(":H7") + ";\n"
        "    JOINED = CAST('2000-01-03' AS DATE) + MOD(:H8, 9100);\n"
        "    BORN = :JOINED - 6570 - MOD(:H8, 14000);\n"
        "    SAL = 12000 + MOD(:H9, 1880) * 100;\n"
        "    STATUS = DECODE(MOD(:H9, 33), 0, 'R', 1, 'I', 2, 'I', 3, 'I', 4, 'I', 'A');\n"
        "    PORC = DECODE(MOD(:H5, 4), 0, 2, 1, 3, 2, 5, 10);\n"
        "    SAV = MOD(:H10, 50000) * 10 + MOD(:H11, 100) / 100.0;\n"
        "    SAVQ = ROUND(:SAL * :PORC / 100, 2);\n"
        "    BAL = IIF(MOD(:H10, 5) = 0, 0, MOD(:H11, 40000) * 25 + MOD(:H12, 100) / 100.0);\n"
        "    INSERT INTO CLIENTES (\n      " + names + ")\n"
        "    VALUES (\n      " + values + ");\n"
        "    M = :M + 1;\n"
        "  END\n"
        "END";
    return demo::Latin1(sql);
}

std::string LoansBlock() {
    // Ledger rows mirror the applied documents with the signs of the
    // reconciliation: payments negative, charges positive.
    auto ledger = [](const std::string& letter, const std::string& document, const std::string& date,
                     const std::string& capital, const std::string& interest) {
        return "INSERT INTO CXCTRX (CLIENTE, TIPO_DOC, DOCUMENTO, FECHA, APLICA, VALOR, FECHAVENC, CUOTA,\n"
               "              REGISTRONO, INTERES, TIPO)\n"
               "            VALUES (:SOCIO, '" + letter + "', " + document + ", " + date + ", :LOAN, " +
               capital + ", :LOAN_DATE, :J, :K, " + interest + ", :LEDGER_KIND);\n";
    };
    const std::string payroll =
        "INSERT INTO NOMINA (NUMERO, FECHA, CUOTA_NO, VALOR, INTERES, PRESTAMO_NO, ESTATUS, SOCIO, EMPRESA)\n";
    const std::string receipt =
        "INSERT INTO INGRESOSDET (RECIBO, FECHARECIBO, CUOTA, PAGOCAPITAL, PAGOINTERES, PRESTAMO, PAGOMORA,\n"
        "                CONCEPTO)\n";
    const std::string note =
        "INSERT INTO CCNOTASDET (DOCUMENTO, FECHARECIBO, CUOTA, PAGOCAPITAL, PAGOINTERES, PRESTAMO, TIPO_DOC,\n"
        "                CONCEPTO)\n";
    std::string sql =
        "EXECUTE BLOCK (FIRST_LOAN INTEGER = ?, LAST_LOAN INTEGER = ?, MEMBERS INTEGER = ?,\n"
        "               CODE_WIDTH INTEGER = ?)\n"
        "AS\n"
        "  DECLARE K INTEGER;\n" +
        HashDeclarations(4) +
        "  DECLARE HJ INTEGER;\n"
        "  DECLARE MEMBER_NO INTEGER;\n"
        "  DECLARE SOCIO VARCHAR(10);\n"
        "  DECLARE EMP INTEGER;\n"
        "  DECLARE LOAN INTEGER;\n"
        "  DECLARE STATUS VARCHAR(2);\n"
        "  DECLARE LOAN_DATE DATE;\n"
        "  DECLARE N INTEGER;\n"
        "  DECLARE PAID INTEGER;\n"
        "  DECLARE AMOUNT DOUBLE PRECISION;\n"
        "  DECLARE RATE DOUBLE PRECISION;\n"
        "  DECLARE CAP DOUBLE PRECISION;\n"
        "  DECLARE JCAP DOUBLE PRECISION;\n"
        "  DECLARE INTR DOUBLE PRECISION;\n"
        "  DECLARE HALF_CAP DOUBLE PRECISION;\n"
        "  DECLARE HALF_INT DOUBLE PRECISION;\n"
        "  DECLARE INSURANCE DOUBLE PRECISION;\n"
        "  DECLARE FEE DOUBLE PRECISION;\n"
        "  DECLARE KIND INTEGER;\n"
        "  DECLARE LEDGER_KIND INTEGER;\n"
        "  DECLARE PAY_MODE INTEGER;\n"
        "  DECLARE PURPOSE INTEGER;\n"
        "  DECLARE LEDGER_GAP INTEGER;\n"
        "  DECLARE LEDGER INTEGER;\n"
        "  DECLARE J INTEGER;\n"
        "  DECLARE DUE DATE;\n"
        "  DECLARE PAID_ON DATE;\n"
        "  DECLARE DOC INTEGER;\n"
        "  DECLARE PERIOD INTEGER;\n"
        "BEGIN\n"
        "  K = :FIRST_LOAN;\n"
        "  WHILE (:K <= :LAST_LOAN) DO\n"
        "  BEGIN\n" +
        HashChain(":K", 4) +
        "    MEMBER_NO = 1 + MOD(:H1, :MEMBERS);\n"
        "    SOCIO = LPAD(:MEMBER_NO, :CODE_WIDTH, '0');\n"
        "    EMP = NULL;\n"
        "    SELECT EMPRESA FROM CLIENTES WHERE CLT_CODIGO = :SOCIO INTO :EMP;\n"
        // Applications not yet disbursed carry loan number 0 or a negative one.
        "    IF (MOD(:K, 25) = 0) THEN\n"
        "    BEGIN\n"
        "      LOAN = IIF(MOD(:K, 50) = 0, 0, -:K);\n"
        "      STATUS = IIF(MOD(:H2, 2) = 0, 'S', 'R');\n"
        "    END\n"
        "    ELSE\n"
        "    BEGIN\n"
        "      LOAN = 100000 + :K;\n"
        "      STATUS = CASE WHEN MOD(:H2, 50) < 26 THEN 'A' WHEN MOD(:H2, 50) < 45 THEN 'L'\n"
        "                    WHEN MOD(:H2, 50) < 48 THEN 'C' ELSE 'X' END;\n"
        "    END\n"
        "    LOAN_DATE = CAST('2014-01-02' AS DATE) + MOD(:H3, 4000);\n"
        "    N = 12 + 2 * MOD(:H4, 15);\n"
        "    AMOUNT = (10 + MOD(:H3, 490)) * 1000;\n"
        "    RATE = 12 + 2 * MOD(:H4, 4);\n"
        "    CAP = ROUND(:AMOUNT / :N, 2);\n"
        "    INTR = ROUND(:AMOUNT * :RATE / 1200, 2);\n"
        "    HALF_INT = ROUND(:INTR / 2, 2);\n"
        "    INSURANCE = ROUND(:AMOUNT * 0.0005, 2);\n"
        "    FEE = ROUND(:AMOUNT * 0.01, 2);\n"
        "    KIND = IIF(MOD(:K, 30) = 0, 0, 1 + MOD(:H2, 4));\n"
        "    LEDGER_KIND = IIF(:KIND < 1, 2, :KIND);\n"
        // 0: payroll deductions, 1: cash desk, 2: payroll and savings.
        "    PAY_MODE = CASE WHEN MOD(:H4, 20) < 11 THEN 0 WHEN MOD(:H4, 20) < 18 THEN 1 ELSE 2 END;\n"
        "    PURPOSE = MOD(:H3, 6);\n"
        "    PAID = CASE :STATUS WHEN 'A' THEN MOD(:H1, :N) WHEN 'L' THEN :N WHEN 'C' THEN :N / 2\n"
        "                        ELSE 0 END;\n"
        // One loan in forty misses its last ledger row: a balance mismatch.
        "    LEDGER_GAP = IIF(MOD(:K, 40) = 7, 1, 0);\n"
        "    INSERT INTO SOLICITUDPRES (REGISTRO_NO, SOLICITUD_NO, FECHA, VALOR, CONCEPTO, SOCIO, EMPRESA,\n"
        "        BALANCE_PENDIENTE, TASA, CONDICIONES, FORMA_PAGO, TOTAL_COBRAR, TOTAL_CUOTAS, FICHA,\n"
        "        CANT_CUOTAS, ESTATUS, INTERES, PAGADO_CHEKENO, PRIMA, TIPO_DOC, NO_DOCUMENTO, TIPO, DIA1,\n"
        "        DIA2, TIPOCALCULO, CARTERA, VALORSEGURO, CUOTASEGURO, GASTOSLEGALES, PENALIZACION,\n"
        "        TIPOPRESTAMO, TIPOTASA, REFERENCIA, FECHAPRIMERACUOTA, FECHAULTIMACUOTA, ORIGENID,\n"
        "        RENEGOZIADOSN, ENLEGAL, TIPOGARANTIA, EST, BALANCE_INTERES, VALOR_CHEQUE,\n"
        "        DEDUCCION_SEGURO, DEDUCCION_OTROS, DEDUCCION_RAZON, CALCULARSEGURO, REENGANCHE_REG,\n"
        "        COMENTARIO_ANALISTA, FECHAINI, FECHAFIN, CALCULARGASTOSCIERRE, FECHAREGISTRO,\n"
        "        REGISTRADOPOR, FECHAAUTORIZACION, AUTORIZADOPOR, FECHACIERRE, FECHA_ULTMOV, WEBSN,\n"
        "        FORMA_DESEMBOLSO, FECHA_DESEMBOLSO, SEGUROENCUOTAS)\n"
        "    VALUES (:K, 500000 + :K, :LOAN_DATE, :AMOUNT,\n"
        "        TRIM(DECODE(:PURPOSE, 0, 'PRÉSTAMO PERSONAL', 1, 'COMPRA DE VEHÍCULO',\n"
        "                    2, 'MEJORAMIENTO DE VIVIENDA', 3, 'GASTOS EDUCATIVOS',\n"
        "                    4, 'CONSOLIDACIÓN DE DEUDAS', 'GASTOS MÉDICOS'))\n"
        "          || '. SOLICITADO POR EL SOCIO ' || :SOCIO || ' EN LA OFICINA PRINCIPAL.',\n"
        "        :SOCIO, :EMP,\n"
        "        IIF(:PAID >= :N, 0, ROUND(:AMOUNT - :PAID * :CAP, 2)), :RATE, :N,\n"
        "        TRIM(DECODE(:PAY_MODE, 0, 'NOMINA', 1, 'CAJA', 'MIXTO')),\n"
        "        ROUND(:N * (:CAP + :INTR + :INSURANCE), 2), ROUND(:N * (:CAP + :INTR), 2),\n"
        "        'F' || LPAD(" + Int(Mod(":H1", 999999)) + ", 6, '0'), :N, :STATUS, ROUND(:N * :INTR, 2),\n"
        "        IIF(:LOAN > 0, 700000 + :K, NULL), 0, 'PR', :LOAN, :KIND, 15, 30, 'F',\n"
        "        IIF(:PURPOSE = 2, '02', '01'), ROUND(:N * :INSURANCE, 2), :INSURANCE, :FEE, 'S',\n"
        "        SUBSTRING('PVHECM' FROM :PURPOSE + 1 FOR 1), 1, 'SOL-' || :K,\n"
        "        DATEADD(1 MONTH TO :LOAN_DATE), DATEADD(:N MONTH TO :LOAN_DATE),\n"
        "        IIF(MOD(:K, 10) = 3 AND :K > 1, :K - 1, 0), IIF(MOD(:K, 10) = 3, 'S', 'N'),\n"
        "        IIF(MOD(:K, 200) = 3, 'S', 'N'),\n"
        "        TRIM(DECODE(MOD(:H4, 3), 0, 'SOLIDARIA CON DOS GARANTES', 1, 'AHORROS DEL SOCIO',\n"
        "                    'HIPOTECARIA')),\n"
        "        'A', ROUND((:N - :PAID) * :INTR, 2), ROUND(:AMOUNT - :FEE - :N * :INSURANCE, 2),\n"
        "        ROUND(:N * :INSURANCE, 2), 0, 'GASTOS DE CIERRE Y SEGURO DE VIDA', 'S',\n"
        "        IIF(MOD(:K, 10) = 3 AND :K > 1, :K - 1, 0),\n"
        "        'Capacidad de pago verificada con ' || COALESCE('la empresa ' || :EMP, 'el socio') ||\n"
        "          '. Cuota dentro del límite de descuento.',\n"
        "        :LOAN_DATE, DATEADD(:N MONTH TO :LOAN_DATE), 'S', :LOAN_DATE - 7,\n"
        "        TRIM(DECODE(MOD(:H1, 4), 0, 'JPEREZ', 1, 'MGOMEZ', 2, 'ADIAZ', 'RNUNEZ')), :LOAN_DATE - 2,\n"
        "        'GERENCIA', IIF(:STATUS IN ('L', 'C'), DATEADD(:N MONTH TO :LOAN_DATE), NULL),\n"
        "        IIF(:PAID > 0, DATEADD(:PAID MONTH TO :LOAN_DATE), :LOAN_DATE), 'N',\n"
        "        IIF(MOD(:H1, 2) = 0, 'C', 'T'), :LOAN_DATE, 'S');\n"
        "    IF (:LOAN > 0 AND :STATUS <> 'X') THEN\n"
        "      INSERT INTO CXCTRX (CLIENTE, TIPO_DOC, DOCUMENTO, FECHA, APLICA, VALOR, FECHAVENC, CUOTA,\n"
        "          REGISTRONO, INTERES, TIPO)\n"
        "        VALUES (:SOCIO, 'F', :LOAN, :LOAN_DATE, :LOAN, :AMOUNT, :LOAN_DATE, 0, :K, 0, :LEDGER_KIND);\n"
        "    J = 1;\n"
        "    HJ = :H4;\n"
        "    WHILE (:LOAN > 0 AND :J <= :N) DO\n"
        "    BEGIN\n"
        "      HJ = MOD(:HJ * 48271, 2147483647);\n"
        "      DUE = DATEADD(:J MONTH TO :LOAN_DATE);\n"
        "      JCAP = IIF(:J = :N, ROUND(:AMOUNT - (:N - 1) * :CAP, 2), :CAP);\n"
        "      HALF_CAP = ROUND(:JCAP / 2, 2);\n"
        "      DOC = :K * 128 + :J * 2;\n"
        // Paid at the cash desk some days around the due date, in office hours.
        "      PAID_ON = IIF(:J <= :PAID,\n"
        "                    :DUE - 3 + MOD(:HJ, 9) + (28800 + MOD(:HJ, 32400)) / 86400.0, NULL);\n"
        "      INSERT INTO RENGLONES (REN_PRESTAMONO, REN_FECHAPRESTAMO, REN_FECHAVENCE, REN_CUOTANO,\n"
        "          REN_RECIBONO, REN_FECHAECIBO, REN_CUOTACAPITAL, REN_CUOTAINTERES, REN_CUOTAMORA,\n"
        "          REN_TOTALCUOTA, REN_BALANCE, REN_PAGADOCAPITAL, REN_PAGADOINTERES, REN_TOTALPAGADO,\n"
        "          CARTERA, SEGURO, NETO, GASTOSCIERRE)\n"
        "        VALUES (:LOAN, :LOAN_DATE, :DUE, :J, IIF(:J <= :PAID, :DOC, 0), :PAID_ON, :JCAP, :INTR,\n"
        "          IIF(:J <= :PAID AND MOD(:HJ, 10) = 1, 150, 0), ROUND(:JCAP + :INTR + :INSURANCE, 2),\n"
        "          IIF(:J = :N, 0, ROUND(:AMOUNT - :J * :CAP, 2)), IIF(:J <= :PAID, :JCAP, 0),\n"
        "          IIF(:J <= :PAID, :INTR, 0), IIF(:J <= :PAID, ROUND(:JCAP + :INTR, 2), 0),\n"
        "          IIF(:PURPOSE = 2, '02', '01'), :INSURANCE, ROUND(:JCAP + :INTR, 2),\n"
        "          IIF(:J = 1, :FEE, 0));\n"
        "      IF (:J <= :PAID) THEN\n"
        "      BEGIN\n"
        "        LEDGER = IIF(:STATUS <> 'X' AND NOT (:LEDGER_GAP = 1 AND :J = :PAID), 1, 0);\n"
        // Payroll runs are numbered per fortnight.
        "        PERIOD = (EXTRACT(YEAR FROM :DUE) - 2000) * 24 + EXTRACT(MONTH FROM :DUE) * 2;\n"
        "        IF (:PAY_MODE = 0) THEN\n"
        "        BEGIN\n"
        "          " + payroll +
        "            VALUES (:PERIOD - 1, :DUE - 15, :J, :HALF_CAP, :HALF_INT, :LOAN, 'A', :SOCIO, :EMP);\n"
        "          " + payroll +
        "            VALUES (:PERIOD, :DUE, :J, :JCAP - :HALF_CAP, :INTR - :HALF_INT, :LOAN, 'A', :SOCIO, :EMP);\n"
        "          IF (:LEDGER = 1) THEN\n"
        "          BEGIN\n"
        "            " + ledger("N", ":PERIOD - 1", ":DUE - 15", "-:HALF_CAP", "-:HALF_INT") +
        "            " + ledger("N", ":PERIOD", ":DUE", "-(:JCAP - :HALF_CAP)", "-(:INTR - :HALF_INT)") +
        "          END\n"
        // A deduction the employer sent back: on file, never applied.
        "          IF (MOD(:HJ, 12) = 5) THEN\n"
        "            " + payroll +
        "              VALUES (:PERIOD, :DUE, :J, :HALF_CAP, :HALF_INT, :LOAN, 'R', :SOCIO, :EMP);\n"
        "        END\n"
        "        ELSE IF (:PAY_MODE = 1) THEN\n"
        "        BEGIN\n"
        "          IF (MOD(:HJ, 4) = 0) THEN\n"
        "          BEGIN\n"
        "            " + receipt +
        "              VALUES (:DOC, :PAID_ON - 10, :J, :HALF_CAP, :HALF_INT, :LOAN, 0,\n"
        "                      'ABONO A LA CUOTA ' || :J);\n"
        "            " + receipt +
        "              VALUES (:DOC + 1, :PAID_ON, :J, :JCAP - :HALF_CAP, :INTR - :HALF_INT, :LOAN, 0,\n"
        "                      'SALDO DE LA CUOTA ' || :J);\n"
        "            IF (:LEDGER = 1) THEN\n"
        "            BEGIN\n"
        "              " + ledger("R", ":DOC", ":PAID_ON - 10", "-:HALF_CAP", "-:HALF_INT") +
        "              " + ledger("R", ":DOC + 1", ":PAID_ON", "-(:JCAP - :HALF_CAP)", "-(:INTR - :HALF_INT)") +
        "            END\n"
        "          END\n"
        "          ELSE\n"
        "          BEGIN\n"
        "            " + receipt +
        "              VALUES (:DOC, :PAID_ON, :J, :JCAP, :INTR, :LOAN, IIF(MOD(:HJ, 10) = 1, 150, 0),\n"
        "                      'PAGO DE LA CUOTA ' || :J);\n"
        "            IF (:LEDGER = 1) THEN\n"
        "              " + ledger("R", ":DOC", ":PAID_ON", "-:JCAP", "-:INTR") +
        "          END\n"
        // Late payments are charged with a debit note.
        "          IF (MOD(:HJ, 10) = 1) THEN\n"
        "          BEGIN\n"
        "            " + note +
        "              VALUES (:DOC, :PAID_ON, :J, 150, 0, :LOAN, 'ND', 'CARGO POR MORA DE LA CUOTA ' || :J);\n"
        "            IF (:LEDGER = 1) THEN\n"
        "              " + ledger("D", ":DOC", ":PAID_ON", "150", "0") +
        "          END\n"
        "        END\n"
        "        ELSE\n"
        "        BEGIN\n"
        "          " + payroll +
        "            VALUES (:PERIOD, :DUE, :J, :HALF_CAP, :HALF_INT, :LOAN, 'A', :SOCIO, :EMP);\n"
        "          INSERT INTO COMPENSACIONDET (DOCUMENTO, FECHA, SERVICIONO, CAPITAL, INTERES, APLICA, SOCIO)\n"
        "            VALUES (:DOC, :DUE, :J, :JCAP - :HALF_CAP, :INTR - :HALF_INT, :LOAN, :SOCIO);\n"
        "          IF (:LEDGER = 1) THEN\n"
        "          BEGIN\n"
        "            " + ledger("N", ":PERIOD", ":DUE", "-:HALF_CAP", "-:HALF_INT") +
        "            " + ledger("M", ":DOC", ":DUE", "-(:JCAP - :HALF_CAP)", "-(:INTR - :HALF_INT)") +
        "          END\n"
        // Now and then part of the interest is forgiven with a credit note.
        "          IF (MOD(:HJ, 15) = 2) THEN\n"
        "          BEGIN\n"
        "            " + note +
        "              VALUES (:DOC + 1, :DUE, :J, 0, ROUND(:INTR * 0.1, 2), :LOAN, 'NC',\n"
        "                      'DESCUENTO DE INTERESES');\n"
        "            IF (:LEDGER = 1) THEN\n"
        "              " + ledger("C", ":DOC + 1", ":DUE", "0", "-ROUND(:INTR * 0.1, 2)") +
        "          END\n"
        "        END\n"
        "      END\n"
        "      J = :J + 1;\n"
        "    END\n"
        "    K = :K + 1;\n"
        "  END\n"
        "END";
    return demo::Latin1(sql);
}

// clang-format on

}  // namespace bench
