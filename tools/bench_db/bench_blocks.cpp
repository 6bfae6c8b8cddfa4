#include "tools/bench_db/bench_blocks.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "tools/bench_db/bench_member_columns.h"
#include "tools/bench_db/bench_words.h"
#include "tools/raw_client/latin1.h"

namespace bench {

using namespace blocks;  // the pieces every block is made of

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
