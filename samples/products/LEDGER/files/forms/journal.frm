FORM Journal
  FIELD Date      DATE
  FIELD Account   CHAR(12)
  FIELD Amount    DECIMAL(15,2)
  FIELD Memo      CHAR(60)
END
