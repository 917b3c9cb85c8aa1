/* Large volumes for benchmarks: 100,000 customers, 10,000 bills of 100 lines each (1,000,000 bill
   lines). Run after schema.sql; like demo.sql it is written in UTF-8 and converted to Big5 first.
   scripts/make-db.sh changes the number of bills on the line that declares `bills`, for a shop with a
   longer history, and the number of customers on the line that declares `customers`, for a chain. */
SET TERM ^ ;

EXECUTE BLOCK AS
  DECLARE i INTEGER = 1;
  DECLARE customers INTEGER = 100000;
BEGIN
  WHILE (i <= customers) DO
  BEGIN
    INSERT INTO CUSTOMER (CUST_ID, CUST_NAME, CUST_CLASSID)
    VALUES ('G' || LPAD(:i, 7, '0'), '客戶' || :i || '號 股份有限公司', SUBSTRING('ABCV' FROM MOD(:i, 4) + 1 FOR 1));
    i = i + 1;
  END
END^

EXECUTE BLOCK AS
  DECLARE b INTEGER = 1;
  DECLARE bills INTEGER = 10000;
  DECLARE l INTEGER;
  DECLARE id VARCHAR(20);
BEGIN
  WHILE (b <= bills) DO
  BEGIN
    id = 'B' || LPAD(:b, 9, '0');
    INSERT INTO SAL_MASTER (MASTERBILLID, BILL_DATE, SALES_ID, SALES_NAME, CUST_ID, CUST_NAME, TOTAL_AMT,
                            TOTAL_TAX, TOTAL_MONEY, STORE_ID, NOTE)
    VALUES (:id, '2006/07/24', 'E001', '林美惠', 'G' || LPAD(:b, 7, '0'), '客戶' || :b || '號 股份有限公司',
            1000, 50, 1050, 'T01', '批次產生的銷貨單');
    l = 1;
    WHILE (l <= 100) DO
    BEGIN
      INSERT INTO SAL_SUB (MASTERBILLID, ITEM_NO, TEMPPRODID, PROD_NAME, V_QTY, V_UNIT, B_PRICE, U_DIS,
                           V_PRICE, AMT, TAX_AMT, STOCK_ID, NOTE)
      VALUES (:id, :l, 'P' || LPAD(MOD(:b * 7 + :l, 5000), 5, '0'), '商品 ' || :l || ' 號 標準包裝', :l,
              '個', 12.5, 1, 12.5, 12.5 * :l, 0.625 * :l, 'W01', '備註');
      l = l + 1;
    END
    b = b + 1;
  END
END^

SET TERM ; ^
COMMIT;
